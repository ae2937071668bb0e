// The one place where the properties and the device histories set up their simulated machine,
// so that each can be run on machines that differ in a setting.
#pragma once

#include "driver_install/printer_install.h"
#include "platform/sim/control/simctl.h"

#include <rapidcheck.h>

namespace property {

struct MachineSetup {
    vtxsim::WindowsVersion version = vtxsim::WindowsVersion::Win98;
    bool shellRunning = false;
    // Creation order is Windows 98's, sorted Wine's: every property runs in both.
    vtxsim::EnumerationOrder order = vtxsim::EnumerationOrder::Creation;
};

// Creation or sorted order, the one drawn shown in a failure.
rc::Gen<vtxsim::EnumerationOrder> AnyOrder();

// A printer as the machine's order calls for: on a sorted machine, Wine's, its interface key is
// named by device as Wine names it (numbered keys would sort in creation order).
vtxsim::PrinterSpec ForMachineOrder(vtxsim::PrinterSpec spec);

// A clean machine in memory: no keys, files, devices or injected failures; the clock fixed at
// tick; the monitor library found where the build put it.
void FreshMachine(const MachineSetup& setup, DWORD tick = 1'000'000);

} // namespace property
