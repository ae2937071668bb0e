// vtxlab device: the person at the printer: paper, the online button, the cable.
#include "tools/lab/commands.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/printer_words.h"
#include "tools/lab/shown_text.h"
#include "tools/lab/snapshot.h"

#include "platform/sim/test/simctl.h"

#include <fmt/format.h>

namespace lab {
namespace {

vtxsim::PrinterState StateOf(const std::string& serial) {
    for (const vtxsim::PrinterState& printer : vtxsim::SimulatedPrinters()) {
        if (SameName(SerialOf(printer.instance), serial))
            return printer;
    }
    std::string serials;
    for (const vtxsim::PrinterState& printer : vtxsim::SimulatedPrinters())
        serials += (serials.empty() ? "" : ", ") + SerialOf(printer.instance);
    throw LabError("no printer with serial " + Shown(serial) +
                   " (printers: " + (serials.empty() ? "none" : serials) + ")");
}

// A printer that can take paper again moves on: its stall ends with the cause.
void SetStatus(const std::string& instance, std::uint8_t status) {
    vtxsim::SetStatusByte(instance, status);
    if ((status & vtxsim::kPaperEmpty) != 0 || (status & vtxsim::kSelected) == 0)
        vtxsim::SetStall(instance, 0);
    else
        vtxsim::ClearStall(instance);
}

} // namespace

// Takes no command lock: it must act while a print job of another vtxlab runs.
int RunDevice(const DeviceOptions& o) {
    OpenMachine(o.machine);
    vtxsim::PrinterState printer = StateOf(o.serial);
    const std::string& instance = printer.instance;
    Snapshot before = TakeSnapshot();
    std::uint8_t status = printer.status;
    if (o.paper == "out")
        SetStatus(instance, status | vtxsim::kPaperEmpty);
    else if (o.paper == "in")
        SetStatus(instance, status & ~vtxsim::kPaperEmpty);
    else if (o.offline)
        SetStatus(instance, status & ~vtxsim::kSelected);
    else if (o.online)
        SetStatus(instance, status | vtxsim::kSelected | vtxsim::kNoError);
    else if (o.stall)
        vtxsim::SetStall(instance, *o.stall);
    else if (o.unplug)
        vtxsim::DetachPrinter(instance);
    else if (o.plug)
        vtxsim::AttachPrinter(instance);
    SaveLastCommand(o.machine, "device " + o.serial, before, TakeSnapshot());
    fmt::print("{}: {}\n", SerialOf(instance), DescribePrinter(StateOf(o.serial)));
    if (o.plug)
        fmt::print("  (plugged in again: the device installer would start the helper; "
                   "vtxlab attach does both)\n");
    return 0;
}

} // namespace lab
