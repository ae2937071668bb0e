// The one place where the properties and the device histories set up their simulated machine,
// so that each can be run on machines that differ in a setting.
#pragma once

#include "platform/sim/test/simctl.h"

namespace property {

struct MachineSetup {
    vtxsim::WindowsVersion version = vtxsim::WindowsVersion::Win98;
    bool shellRunning = false;
};

// A clean machine in memory: no keys, files, devices or injected failures; the clock fixed at
// tick; the monitor library found where the build put it.
void FreshMachine(const MachineSetup& setup, DWORD tick = 1'000'000);

} // namespace property
