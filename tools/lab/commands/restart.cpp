// vtxlab restart: what Windows 98 does between shutting down and the shell's start.
#include "tools/lab/command_options.h"
#include "tools/lab/commands.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/snapshot.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

namespace lab {
namespace {

int RunRestart(const std::filesystem::path& machine) {
    OpenMachine(machine);
    CommandLock lock(machine, "restart");
    Snapshot before = TakeSnapshot();
    fmt::print("restart: WININIT carries out wininit.ini's RENAME section, then RunOnce runs\n");
    std::vector<vtxsim::RestartStep> steps = vtxsim::RestartMachine();
    for (const vtxsim::RestartStep& step : steps)
        fmt::print("  {}\n", vtxsim::Describe(step));
    if (steps.empty())
        fmt::print("  nothing was queued\n");
    SaveLastCommand(machine, "restart", before, TakeSnapshot());
    return 0;
}

} // namespace

void AddRestartCommand(CLI::App& app, ChosenCommand& chosen) {
    CLI::App* c =
        app.add_subcommand("restart", "carry out wininit.ini's RENAME section and RunOnce");
    AddMachine(c, chosen);
    AddWait(c, chosen);
    c->footer(ExitCodesFooter("0 restarted; 1 not a machine"));
    c->callback([&chosen] { chosen.run = [&chosen] { return RunRestart(chosen.machine); }; });
}

} // namespace lab
