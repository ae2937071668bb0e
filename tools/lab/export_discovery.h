// The monitor's discovery run on explain's throw-away machine: the ports the spooler sees with
// all of a customer's interfaces there, and each interface's own verdict before the monitor
// alone. It hides interfaces from the device installation services for a time and writes
// PortName where the monitor composes one, so it runs on the throw-away machine only.
#pragma once

#include "tools/lab/diagnosis.h"
#include "tools/lab/machine_view.h"

#include "platform/sim/control/simctl.h"

#include <optional>
#include <vector>

namespace lab {

// What the monitor's discovery found: each interface before the monitor alone, and for each
// port, the interface an OpenPort of it prints to once all of them are there.
struct Discovery {
    std::vector<PortOutcome> outcomes;
    std::vector<std::optional<size_t>> printsTo;
};

// All interfaces at once give the ports the spooler sees; each alone gives its own verdict,
// which stands unless, with all of them there, the monitor refuses its port: a later interface
// of the same name took the port over with its Enabled. named is the interfaces as the monitor
// left them, PortName written where it composed one.
Discovery RunDiscovery(const std::vector<InterfaceView>& interfaces, vtxsim::EnumPortsResult* ports,
                       std::vector<InterfaceView>* named);

// Without an instance of vtxpmo01.dll the spooler would load nothing; while the probe's is there,
// one of vtxlab's own names the ports.
void AddProbeInstance();
void RemoveProbeInstance();

} // namespace lab
