// Control of the simulated machine as a whole.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace sim {
class MachineLock;
}

namespace vtxsim {

// Switches this process to the machine in dir (created when missing), or to a fresh machine in
// memory when dir is empty. Every store is reset and reloaded.
void UseMachine(const std::filesystem::path& dir);
// Empties the current machine: registry, files, devices, settings, journal.
void ResetMachine();
std::filesystem::path MachineDirectory();

// Holds the machine's lock while it lives: the next call of every other process of the machine
// waits until it goes. Processes started meanwhile so begin together, whatever their start-up
// costs.
class HeldMachine {
  public:
    HeldMachine();
    ~HeldMachine();
    HeldMachine(const HeldMachine&) = delete;
    HeldMachine& operator=(const HeldMachine&) = delete;

  private:
    std::unique_ptr<sim::MachineLock> lock_;
};

} // namespace vtxsim
