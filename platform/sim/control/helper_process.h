// Control: a program of the machine started as a process of its own on a machine directory,
// as the device installer starts the setup helper. The process sees the machine through
// VTXSIM_MACHINE and gets its Windows command line through VTXSIM_COMMAND_LINE.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace vtxsim {

struct HelperRun {
    int exitCode = -1;
    std::string failure; // why the process could not run; empty when it ran
};

struct HelperProcess {
    pid_t pid = -1;      // -1 when it could not start
    std::string failure; // why it could not start
};

// Starts helperExe with the full Windows command line (program name first) on the machine in
// machineDir, and returns without waiting. The rest of this process's environment is passed on.
HelperProcess StartHelper(const std::filesystem::path& helperExe,
                          const std::filesystem::path& machineDir, const std::string& commandLine);
// Waits for a started helper to end.
HelperRun WaitHelper(const HelperProcess& process);
// Both: starts the helper and waits for it.
HelperRun RunHelper(const std::filesystem::path& helperExe, const std::filesystem::path& machineDir,
                    const std::string& commandLine);

} // namespace vtxsim
