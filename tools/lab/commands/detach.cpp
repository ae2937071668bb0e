// vtxlab detach: a printer pulled out and the helper's removal, for real or, with --dry-run, on
// a copy of the machine.
#include "tools/lab/command_options.h"
#include "tools/lab/commands.h"
#include "tools/lab/json_output.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/leftovers.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/removal.h"
#include "tools/lab/shown_text.h"
#include "tools/lab/snapshot.h"

#include <fmt/format.h>

#include <memory>

namespace lab {
namespace {

struct DetachOptions {
    std::filesystem::path machine;
    std::string serial;
    bool dryRun = false; // on a copy: what the removal would do
    bool json = false;
};

int RunDetach(const DetachOptions& o) {
    OpenMachine(o.machine);
    CommandLock lock(o.machine, o.dryRun ? "detach --dry-run" : "detach");
    std::optional<DeviceView> device = DeviceOfSerial(o.serial);
    if (!device)
        throw LabError("no printer with serial " + Shown(o.serial) + " on " + o.machine.string() +
                       " (serials: " + KnownSerials() + ")");
    std::vector<Leftover> stays;
    Changes changes;
    if (o.dryRun) {
        if (!o.json)
            fmt::print("detach {} --dry-run: what the removal would do (on a copy; this machine "
                       "stays as it is)\n",
                       Shown(o.serial));
        changes = OnCopy([&] { RemovePrinter(o.serial); },
                         [&](const Changes&) { stays = WhatStays(*device); });
    } else {
        Snapshot before = TakeSnapshot();
        if (!o.json)
            fmt::print("detach {}: the printer is unplugged and the device installer starts the "
                       "helper with -action=64\n",
                       Shown(o.serial));
        changes = RemovePrinter(o.serial);
        stays = WhatStays(*device);
        SaveLastCommand(o.machine, "detach " + o.serial, before, TakeSnapshot());
    }
    if (o.json) {
        nlohmann::json doc = JsonDocument("detach");
        doc["serial"] = device->serial;
        doc["dryRun"] = o.dryRun;
        doc["changes"] = ChangesJson(changes);
        doc["stays"] = StaysJson(stays);
        PrintJson(doc);
        return 0;
    }
    ReportRemoval(changes);
    ReportStays(stays);
    if (!o.dryRun)
        fmt::print("  (vtxlab restart carries out the queued entries)\n");
    return 0;
}

} // namespace

void AddDetachCommand(CLI::App& app, ChosenCommand& chosen) {
    auto o = std::make_shared<DetachOptions>();
    CLI::App* c = app.add_subcommand("detach", "the printer goes away; the helper removes it");
    AddMachine(c, chosen);
    AddWait(c, chosen);
    c->add_option("--serial", o->serial, "the printer's serial number")->required();
    c->add_flag("--dry-run", o->dryRun, "show what would be deleted, change nothing");
    c->add_flag("--json", o->json, "as one JSON document");
    c->footer(ExitCodesFooter("0 removed (or, with --dry-run, shown); 1 refused (not a machine, no "
                              "printer of that serial)"));
    RunOnMachine(c, chosen, o, RunDetach);
}

} // namespace lab
