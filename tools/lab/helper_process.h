// Runs the setup helper as its own process on the lab's machine, as the device installer would.
#pragma once

#include <filesystem>
#include <string>

namespace lab {

// "C:\WINDOWS\SYSTEM\VTXINH01.EXE -action=<action> -model=<model> -serial=<serial>", run on the
// current machine with the helper this vtxlab was built with. A helper that cannot start or
// that ends other than with 0 throws LabError.
std::string RunHelperAction(int action, const std::string& model, const std::string& serial);

// The helper, the field collector and the monitor library this vtxlab was built with.
std::filesystem::path HelperExe();
std::filesystem::path CollectorExe();
std::filesystem::path MonitorDir();

} // namespace lab
