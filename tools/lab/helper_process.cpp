#include "tools/lab/helper_process.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_view.h"

#include "platform/sim/control/helper_process.h"
#include "platform/sim/control/simctl.h"

namespace lab {

namespace {

// Installed (the Debian package), the helper and the monitor library lie in lib/vtxlab beside
// the bin directory that holds vtxlab; in the build tree, where they were built. Empty when
// vtxlab is not installed.
std::filesystem::path InstalledDir() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    std::filesystem::path dir = self.parent_path().parent_path() / "lib" / "vtxlab";
    return std::filesystem::is_regular_file(dir / "vtxinh01", error) ? dir
                                                                     : std::filesystem::path{};
}

} // namespace

std::filesystem::path HelperExe() {
    std::filesystem::path installed = InstalledDir();
    return installed.empty() ? std::filesystem::path(VTX_HELPER_EXE) : installed / "vtxinh01";
}

std::filesystem::path CollectorExe() {
    std::filesystem::path installed = InstalledDir();
    return installed.empty() ? std::filesystem::path(VTX_COLLECTOR_EXE) : installed / "vtxdiag";
}

std::filesystem::path MonitorDir() {
    std::filesystem::path installed = InstalledDir();
    return installed.empty() ? std::filesystem::path(VTX_MONITOR_DIR) : installed;
}

std::string RunHelperAction(int action, const std::string& model, const std::string& serial) {
    std::string commandLine = kHelperPath + " -action=" + std::to_string(action) +
                              " -model=" + model + " -serial=" + serial;
    vtxsim::HelperRun run = vtxsim::RunHelper(HelperExe(), vtxsim::MachineDirectory(), commandLine);
    if (!run.failure.empty())
        throw LabError(run.failure);
    if (run.exitCode != 0)
        throw LabError("the helper (" + commandLine + ") ended with " +
                       std::to_string(run.exitCode) + " instead of 0");
    return commandLine;
}

} // namespace lab
