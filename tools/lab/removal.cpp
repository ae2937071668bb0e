// vtxlab detach: a printer pulled out and the helper's removal, for real or on a copy.
#include "tools/lab/removal.h"
#include "tools/lab/commands.h"
#include "tools/lab/helper_process.h"
#include "tools/lab/interrupt.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/temp_dir.h"

#include "platform/sim/test/simctl.h"

#include <fmt/format.h>

#include <system_error>

namespace fs = std::filesystem;

namespace lab {
namespace {

bool PrinterExists(const std::string& instance) {
    for (const vtxsim::PrinterState& printer : vtxsim::SimulatedPrinters()) {
        if (SameName(printer.instance, instance))
            return true;
    }
    return false;
}

} // namespace

Changes RemovePrinter(const std::string& serial) {
    std::optional<DeviceView> device = DeviceOfSerial(serial);
    if (!device)
        throw LabError("no printer with serial " + serial +
                       " on this machine (serials: " + KnownSerials() + ")");
    Snapshot before = TakeSnapshot();
    if (PrinterExists(device->instance))
        vtxsim::DetachPrinter(device->instance);
    RunHelperAction(64, device->model, device->serial);
    return Compare(before, TakeSnapshot());
}

Changes OnCopy(const std::function<void()>& step,
               const std::function<void(const Changes&)>& report) {
    fs::path original = vtxsim::MachineDirectory();
    TemporaryDir copy("vtxlab-copy");
    std::error_code ec;
    fs::copy(original, copy.Path(), fs::copy_options::recursive, ec);
    if (ec)
        throw LabError("cannot copy the machine to " + copy.Path().string() + ": " + ec.message());
    vtxsim::UseMachine(copy.Path());
    PauseForTest("dry-run");
    Snapshot before = TakeSnapshot();
    Changes changes;
    try {
        step();
        changes = Compare(before, TakeSnapshot());
        if (report)
            report(changes);
    } catch (...) {
        vtxsim::UseMachine(original);
        throw;
    }
    vtxsim::UseMachine(original);
    return changes;
}

void ReportRemoval(const Changes& c) {
    auto list = [](const std::string& title, const std::vector<std::string>& lines) {
        fmt::print("  {}: {}\n", title, lines.empty() ? "none" : std::to_string(lines.size()));
        for (const std::string& line : lines)
            fmt::print("    {}\n", line);
    };
    list("registry keys deleted", c.keysDeleted);
    if (!c.valuesDeleted.empty())
        list("registry values deleted", c.valuesDeleted);
    if (!c.keysCreated.empty() || !c.valuesSet.empty()) {
        list("registry keys created", c.keysCreated);
        list("registry values set", c.valuesSet);
    }
    list("files deleted now", c.filesDeleted);
    list("queued for deletion at the restart (wininit.ini [RENAME])", c.renamesAdded);
    if (!c.started.empty())
        list("programs started", c.started);
}

int RunDetach(const fs::path& machine, const std::string& serial, bool dryRun) {
    OpenMachine(machine);
    CommandLock lock(machine, dryRun ? "detach --dry-run" : "detach");
    if (!DeviceOfSerial(serial))
        throw LabError("no printer with serial " + serial + " on " + machine.string() +
                       " (serials: " + KnownSerials() + ")");
    if (dryRun) {
        fmt::print("detach {} --dry-run: what the removal would do (on a copy; this machine "
                   "stays as it is)\n",
                   serial);
        ReportRemoval(OnCopy([&] { RemovePrinter(serial); }));
        return 0;
    }
    Snapshot before = TakeSnapshot();
    fmt::print("detach {}: the printer is unplugged and the device installer starts the helper "
               "with -action=64\n",
               serial);
    Changes changes = RemovePrinter(serial);
    SaveLastCommand(machine, "detach " + serial, before, TakeSnapshot());
    ReportRemoval(changes);
    fmt::print("  (vtxlab restart carries out the queued entries)\n");
    return 0;
}

} // namespace lab
