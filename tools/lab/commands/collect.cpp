// vtxlab collect: the field collector's Linux build run on the machine as its own process, as
// a customer runs VTXDIAG.EXE, so that its report can be set beside one from Wine or from a
// real machine. The report is written inside the machine under a name nothing there has, then
// taken out and removed again.
#include "tools/lab/command_options.h"
#include "tools/lab/commands.h"
#include "tools/lab/helper_process.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <cstdlib>
#include <memory>

namespace lab {
namespace {

struct CollectOptions {
    std::filesystem::path machine;
    std::filesystem::path out; // empty: stdout
};

const std::string kCollectorPath = "C:\\WINDOWS\\VTXDIAG.EXE";

std::string FreeReportPath() {
    for (int i = 0; i < 100; ++i) {
        std::string path = "C:\\WINDOWS\\VTXDIAG" + (i == 0 ? "" : std::to_string(i)) + ".TXT";
        if (!vtxsim::FileExists(path))
            return path;
    }
    throw LabError("the machine's Windows directory holds VTXDIAG.TXT to VTXDIAG99.TXT already");
}

void WriteOut(const std::filesystem::path& out, const std::string& report) {
    vtxsim::AtomicWrite written = vtxsim::WriteFileAtomically(out, report);
    if (written.failed == vtxsim::AtomicWrite::Step::Writing)
        throw LabError("cannot write " + out.string());
    if (written.failed == vtxsim::AtomicWrite::Step::Replacing)
        throw LabError("cannot replace " + out.string() + " (" + written.error.message() +
                       "); the report is in " + written.temporary.string());
}

int RunCollect(const CollectOptions& options) {
    OpenMachine(options.machine);
    CommandLock lock(options.machine, "collect");
    const std::string reportPath = FreeReportPath();
    // The collector's spooler loads the monitor library as vtxlab's own does.
    setenv("VTXSIM_MONITOR_DIR", MonitorDir().c_str(), 0);
    const std::string commandLine = kCollectorPath + " /q " + reportPath;
    vtxsim::HelperRun run =
        vtxsim::RunHelper(CollectorExe(), vtxsim::MachineDirectory(), commandLine);
    std::optional<std::string> report = vtxsim::GetFileContents(reportPath);
    std::error_code ignored;
    std::filesystem::remove(vtxsim::HostPath(reportPath), ignored);
    if (!run.failure.empty())
        throw LabError(run.failure);
    if (run.exitCode != 0 || !report)
        throw LabError(fmt::format("the collector ({}) ended with {} and wrote {}", commandLine,
                                   run.exitCode, report ? "part of its report" : "no report"));
    if (options.out.empty())
        fmt::print("{}", *report);
    else
        WriteOut(options.out, *report);
    return 0;
}

} // namespace

void AddCollectCommand(CLI::App& app, ChosenCommand& chosen) {
    auto o = std::make_shared<CollectOptions>();
    CLI::App* c = app.add_subcommand("collect", "run the field collector, vtxdiag, on the machine");
    AddMachine(c, chosen);
    AddWait(c, chosen);
    c->add_option("--out", o->out, "write the report to FILE instead of stdout");
    c->footer(ExitCodesFooter("0 the report written; 1 not a machine, the collector failed, or the "
                              "report could not be written"));
    RunOnMachine(c, chosen, o, RunCollect);
}

} // namespace lab
