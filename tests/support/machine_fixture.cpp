#include "support/machine_fixture.h"

#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/machine_ctl.h"

namespace vtxtest {

void MachineTest::SetUp() {
    vtxsim::ResetMachine();
    vtxsim::ClearFailures();
}

void MachineTest::TearDown() {
    vtxsim::ClearFailures();
}

} // namespace vtxtest
