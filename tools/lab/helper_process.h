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

// "C:\WINDOWS\SYSTEM\VTXINH01.EXE -action=<action> -model=<model> -serial=<serial>", run on the
// current machine with the helper this vtxlab was built with. A helper that cannot start or
// that ends other than with 0 throws LabError.
std::string RunHelperAction(int action, const std::string& model, const std::string& serial);

// The helper and monitor library this vtxlab was built with.
std::filesystem::path HelperExe();
std::filesystem::path MonitorDir();

} // namespace lab
