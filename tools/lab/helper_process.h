// Runs the setup helper as its own process on the lab's machine, as the device installer would.
#pragma once

#include <filesystem>
#include <string>

namespace lab {

struct HelperRun {
    int exitCode = -1;
    std::string failure; // why the process could not run; empty when it ran
};

// Starts helperExe with the full Windows command line (program name first) on the machine in
// machineDir and waits for it.
HelperRun RunHelper(const std::filesystem::path& helperExe, const std::filesystem::path& machineDir,
                    const std::string& commandLine);

} // namespace lab
