// vtxlab new: a fresh machine, or one made from a registry exported elsewhere.
#include "tools/lab/commands.h"
#include "tools/lab/fresh_machine.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/progress_line.h"
#include "tools/lab/snapshot.h"
#include "tools/lab/user_files.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

namespace lab {

int RunNew(const NewOptions& options) {
    unsigned skipped = 0;
    // A file that does not load leaves the directory as it was.
    MakeFreshMachine(options.machine, options.force, "new", [&] {
        vtxsim::SetWindowsVersion(options.version);
        vtxsim::SetShellRunning(options.shell);
        vtxsim::SetEnumerationOrder(options.sortedOrder ? vtxsim::EnumerationOrder::Sorted
                                                        : vtxsim::EnumerationOrder::Creation);
        if (!options.from.empty()) {
            ProgressTicker ticker("importing " + options.from.string());
            skipped = ImportForeignRegistry(options.from).skipped;
        }
    });
    CommandLock lock(options.machine, "new");
    fmt::print("new machine {}\n", options.machine.string());
    fmt::print("  {}\n", MachineWords());
    if (!options.from.empty()) {
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
