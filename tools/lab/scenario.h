// The lab's scenario: one printer's life on a simulated Windows 98 machine, from attach to the
// restart after its removal, with the real helper program and the real monitor library.
#pragma once

#include "platform/sim/settings.h"

#include <filesystem>

namespace lab {

struct Options {
    std::filesystem::path machineDir; // kept afterwards; empty: a temporary one, removed
    std::filesystem::path helperExe;
    std::filesystem::path monitorDir;
    sim::WindowsVersion version = sim::WindowsVersion::Win98;
    bool shellRunning = true;
    bool dumpRegistry = false;
};

// Runs the scenario and returns the process exit code (0 when every check held).
int RunScenario(const Options& options);

} // namespace lab
