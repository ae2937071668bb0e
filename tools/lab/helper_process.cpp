#include "tools/lab/helper_process.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_view.h"

#include "platform/sim/test/simctl.h"

namespace lab {

std::filesystem::path HelperExe() {
    return VTX_HELPER_EXE;
}

std::filesystem::path MonitorDir() {
    return VTX_MONITOR_DIR;
}

std::string RunHelperAction(int action, const std::string& model, const std::string& serial) {
    std::string commandLine = kHelperPath + " -action=" + std::to_string(action) +
                              " -model=" + model + " -serial=" + serial;
    HelperRun run = RunHelper(HelperExe(), vtxsim::MachineDirectory(), commandLine);
    if (!run.failure.empty())
        throw LabError(run.failure);
    if (run.exitCode != 0)
        throw LabError("the helper (" + commandLine + ") ended with " +
                       std::to_string(run.exitCode) + " instead of 0");
    return commandLine;
}

} // namespace lab
