#include "platform/sim/control/helper_process.h"

#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace vtxsim {

HelperProcess StartHelper(const std::filesystem::path& helperExe,
                          const std::filesystem::path& machineDir, const std::string& commandLine) {
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
    HelperProcess process;
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data());
    if (rc != 0)
        process.failure = "cannot start " + program + ": " + std::strerror(rc);
    else
        process.pid = pid;
    return process;
}

HelperRun WaitHelper(const HelperProcess& process) {
    HelperRun run;
    if (process.pid < 0) {
        run.failure = process.failure;
        return run;
    }
    int status = 0;
    while (waitpid(process.pid, &status, 0) < 0) {
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

HelperRun RunHelper(const std::filesystem::path& helperExe, const std::filesystem::path& machineDir,
                    const std::string& commandLine) {
    return WaitHelper(StartHelper(helperExe, machineDir, commandLine));
}

} // namespace vtxsim
