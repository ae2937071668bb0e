// Test-only control of the simulated machine as a whole.
#pragma once

#include <filesystem>
#include <string>

namespace vtxsim {

// Switches this process to the machine in dir (created when missing), or to a fresh machine in
// memory when dir is empty. Every store is reset and reloaded.
void UseMachine(const std::filesystem::path& dir);
// Empties the current machine: registry, files, devices, settings, journal.
void ResetMachine();
std::filesystem::path MachineDirectory();

} // namespace vtxsim
