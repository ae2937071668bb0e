// vtxlab new: a fresh machine, or one made from a registry exported elsewhere.
#include "tools/lab/commands.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/snapshot.h"
#include "tools/lab/temp_dir.h"
#include "tools/lab/user_files.h"

#include "platform/sim/test/simctl.h"

#include <fmt/format.h>

namespace lab {

int RunNew(const NewOptions& options) {
    if (!options.from.empty()) {
        // A trial import on a machine of its own first: a file that does not load changes
        // nothing.
        TemporaryDir trial("vtxlab-trial");
        vtxsim::UseMachine(trial.Path());
        ImportForeignRegistry(options.from);
    }
    PrepareMachineDir(options.machine, options.force);
    CommandLock lock(options.machine, "new");
    EmptyMachine(options.machine);
    vtxsim::SetWindowsVersion(options.version);
    vtxsim::SetShellRunning(options.shell);
    vtxsim::SetEnumerationOrder(options.sortedOrder ? vtxsim::EnumerationOrder::Sorted
                                                    : vtxsim::EnumerationOrder::Creation);
    fmt::print("new machine {}\n", options.machine.string());
    fmt::print("  {}\n", MachineWords());
    if (!options.from.empty()) {
        unsigned skipped = ImportForeignRegistry(options.from);
        fmt::print("  registry from {}{}\n", options.from.string(),
                   skipped ? fmt::format(" ({} sections of HKEY_CURRENT_CONFIG or HKEY_DYN_DATA "
                                         "skipped: the machine does not keep them)",
                                         skipped)
                           : "");
    }
    Snapshot empty;
    SaveLastCommand(options.machine, "new", empty, TakeSnapshot());
    return 0;
}

} // namespace lab
