#include "platform/sim/control/machine_ctl.h"

#include "platform/sim/machine.h"

namespace vtxsim {

void UseMachine(const std::filesystem::path& dir) {
    sim::UseMachine(dir);
}

void ResetMachine() {
    sim::ResetMachine();
}

std::filesystem::path MachineDirectory() {
    return sim::MachineDir();
}

HeldMachine::HeldMachine() : lock_(std::make_unique<sim::MachineLock>()) {}

HeldMachine::~HeldMachine() = default;

} // namespace vtxsim
