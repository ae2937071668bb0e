// vtxlab device: the person at the printer: paper, the online button, the cable.
#include "tools/lab/commands.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/made_files.h"
#include "tools/lab/printer_words.h"
#include "tools/lab/shown_text.h"
#include "tools/lab/snapshot.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <algorithm>

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

// What this command did to the printer and nothing else: a job printing meanwhile moves bytes
// and holds the device, which is its own change, not this command's.
Snapshot OwnChange(const Snapshot& before, const std::string& instance) {
    Snapshot after = before;
    after.taken = TakeSnapshot().taken;
    std::string now;
    for (const vtxsim::PrinterState& printer : vtxsim::SimulatedPrinters())
        if (printer.instance == instance)
            now = DescribePrinter(printer);
    auto jobs = [](const std::string& piece) {
        return piece.ends_with(" bytes received") || piece == "held open by a job";
    };
    std::vector<std::string> was =
        WordPieces(before.devices.count(instance) ? before.devices.at(instance) : std::string());
    std::string words;
    for (const std::string& piece : WordPieces(now)) {
        std::string kept = piece;
        if (jobs(piece)) {
            auto old = std::find_if(was.begin(), was.end(), jobs);
            if (old == was.end())
                continue;
            kept = *old;
            was.erase(old);
        }
        words += (words.empty() ? "" : ", ") + kept;
    }
    for (const std::string& piece : was)
        if (jobs(piece))
            words += (words.empty() ? "" : ", ") + piece;
    after.devices[instance] = words;
    return after;
}

} // namespace

// Takes no command lock: it must act while a print job of another vtxlab runs.
int RunDevice(const DeviceOptions& o) {
    OpenMachine(o.machine);
    MadeFilesRecorder made(o.machine); // the printer's state files are vtxlab's too
    // A job printing meanwhile saves its record after this one, and so knows the change is not
    // its own.
    RecordLock record(o.machine);
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
    SaveLastCommand(o.machine, "device " + o.serial, before, OwnChange(before, instance));
    fmt::print("{}: {}\n", SerialOf(instance), DescribePrinter(StateOf(o.serial)));
    if (o.plug)
        fmt::print("  (plugged in again: the device installer would start the helper; "
                   "vtxlab attach does both)\n");
    return 0;
}

} // namespace lab
