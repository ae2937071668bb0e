// vtxlab device: the person at the printer: paper, the online button, the cable.
#include "tools/lab/command_options.h"
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
#include <memory>
#include <optional>
#include <vector>

namespace lab {
namespace {

// Exactly one change of the printer.
struct DeviceOptions {
    std::filesystem::path machine;
    std::string serial;
    std::optional<std::string> paper; // "out" or "in"
    bool offline = false, online = false, unplug = false, plug = false;
    std::optional<std::uint64_t> stall;
};

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

} // namespace

void AddDeviceCommand(CLI::App& app, ChosenCommand& chosen) {
    auto o = std::make_shared<DeviceOptions>();
    CLI::App* c = app.add_subcommand("device", "change a printer: paper, online, stall, cable");
    AddMachine(c, chosen);
    c->add_option("--serial", o->serial, "the printer's serial number")->required();
    auto* paper =
        c->add_option("--paper", o->paper, "out or in")->check(CLI::IsMember({"out", "in"}));
    auto* offline = c->add_flag("--offline", o->offline, "the printer goes offline");
    auto* online = c->add_flag("--online", o->online, "the printer is online again");
    auto* stall =
        c->add_option("--stall", o->stall, "the printer takes N more bytes, then nothing");
    auto* unplug = c->add_flag("--unplug", o->unplug, "pull the cable");
    auto* plug = c->add_flag("--plug", o->plug, "plug the cable in again");
    std::vector<CLI::Option*> changes = {paper, offline, online, stall, unplug, plug};
    for (CLI::Option* a : changes)
        for (CLI::Option* b : changes)
            if (a != b)
                a->excludes(b);
    c->footer(ExitCodesFooter("0 changed; 1 refused (not a machine, no printer of that serial)"));
    c->callback([o, &chosen, changes] {
        if (std::none_of(changes.begin(), changes.end(), [](CLI::Option* x) { return x->count(); }))
            throw CLI::ValidationError("give one of --paper, --offline, --online, --stall, "
                                       "--unplug, --plug");
        chosen.run = [o, &chosen] {
            o->machine = chosen.machine;
            return RunDevice(*o);
        };
    });
}

} // namespace lab
