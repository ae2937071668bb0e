// vtxlab new: a fresh machine, or one made from a registry exported elsewhere.
#include "tools/lab/command_options.h"
#include "tools/lab/commands.h"
#include "tools/lab/fresh_machine.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/progress_line.h"
#include "tools/lab/snapshot.h"
#include "tools/lab/user_files.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <memory>

namespace lab {
namespace {

struct NewOptions {
    std::filesystem::path machine;
    WindowsOptions windows;
    std::filesystem::path from; // a REGEDIT4 file to start from; empty for none
    bool force = false;
    std::string order = "creation"; // how the registry enumerates: "creation" or "sorted"
};

int RunNew(const NewOptions& options) {
    unsigned skipped = 0;
    // A file that does not load leaves the directory as it was.
    MakeFreshMachine(options.machine, options.force, "new", [&] {
        vtxsim::SetWindowsVersion(VersionOf(options.windows.version));
        vtxsim::SetShellRunning(!options.windows.noShell);
        vtxsim::SetEnumerationOrder(options.order == "sorted" ? vtxsim::EnumerationOrder::Sorted
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

} // namespace

void AddNewCommand(CLI::App& app, ChosenCommand& chosen) {
    auto o = std::make_shared<NewOptions>();
    CLI::App* c = app.add_subcommand("new", "make a fresh machine");
    AddMachine(c, chosen);
    AddWait(c, chosen);
    AddVersionAndShell(c, o->windows);
    c->add_option("--from", o->from, "start from a REGEDIT4 export");
    c->add_flag("--force", o->force, "start an existing vtxlab machine anew");
    c->add_option("--order", o->order,
                  "how the registry enumerates subkeys and values: creation (the default) or "
                  "sorted (Wine's)")
        ->check(CLI::IsMember({"creation", "sorted"}));
    c->footer(ExitCodesFooter("0 the machine is made; 1 refused (the directory, or an export that "
                              "cannot be read), nothing changed"));
    RunOnMachine(c, chosen, o, RunNew);
}

} // namespace lab
