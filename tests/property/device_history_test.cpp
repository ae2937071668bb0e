// Random device histories on Windows 98 and ME; a failing one shrinks to the shortest history
// that fails and prints as the vtxlab commands that replay it.
#include "device_history.h"
#include "property_check.h"

namespace property {
namespace {

TEST(DeviceHistory, EveryStepLeavesWhatTheModelSays) {
    Check(40, [] {
        MachineSetup setup;
        const bool windowsMe = *rc::gen::arbitrary<bool>();
        setup.version = windowsMe ? vtxsim::WindowsVersion::WinMe : vtxsim::WindowsVersion::Win98;
        setup.shellRunning = *rc::gen::arbitrary<bool>();
        setup.order = *AnyOrder();
        RC_LOG() << "export VTXSIM_MACHINE=/tmp/replay\n" << NewMachineCommand(setup) << "\n";
        HistoryMachine machine(setup);
        rc::state::check(HistoryModel{}, machine, &NextStep);
        // Every port closed and the table rebuilt with no device left: nothing of the monitor
        // is still allocated, whatever the history did.
        machine.CloseAllPorts();
        FreshMachine(setup);
        machine.monitor.Rebuild();
        RC_ASSERT(vtxsim::LiveGlobalBlocks() == 0u);
    });
}

} // namespace
} // namespace property
