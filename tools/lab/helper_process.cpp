#include "tools/lab/helper_process.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_view.h"

#include "platform/sim/test/simctl.h"

#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace lab {

HelperRun RunHelper(const std::filesystem::path& helperExe, const std::filesystem::path& machineDir,
                    const std::string& commandLine) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        if (entry.rfind("VTXSIM_MACHINE=", 0) != 0 && entry.rfind("VTXSIM_COMMAND_LINE=", 0) != 0)
            env.push_back(entry);
    }
    env.push_back("VTXSIM_MACHINE=" + machineDir.string());
    env.push_back("VTXSIM_COMMAND_LINE=" + commandLine);
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    std::string program = helperExe.string();
    std::vector<char*> argv{program.data(), nullptr};
    HelperRun run;
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data());
    if (rc != 0) {
        run.failure = "cannot start " + program + ": " + std::strerror(rc);
        return run;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            run.failure = std::string("waitpid: ") + std::strerror(errno);
            return run;
        }
    }
    if (WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    else
        run.failure = "the helper was killed by signal " + std::to_string(WTERMSIG(status));
    return run;
}

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

std::filesystem::path MonitorDir() {
    std::filesystem::path installed = InstalledDir();
    return installed.empty() ? std::filesystem::path(VTX_MONITOR_DIR) : installed;
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
