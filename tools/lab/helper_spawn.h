// Starts the setup helper as its own process on a machine directory, as the device installer
// would, and waits for it. vtxlab and the tests that run helpers at once share it.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace lab {

struct HelperRun {
    int exitCode = -1;
    std::string failure; // why the process could not run; empty when it ran
};

struct HelperProcess {
    pid_t pid = -1;      // -1 when it could not start
    std::string failure; // why it could not start
};

// Starts helperExe with the full Windows command line (program name first) on the machine in
// machineDir, and returns without waiting.
HelperProcess StartHelper(const std::filesystem::path& helperExe,
                          const std::filesystem::path& machineDir, const std::string& commandLine);
// Waits for a started helper to end.
HelperRun WaitHelper(const HelperProcess& process);
// Both: starts the helper and waits for it.
HelperRun RunHelper(const std::filesystem::path& helperExe, const std::filesystem::path& machineDir,
                    const std::string& commandLine);

} // namespace lab
