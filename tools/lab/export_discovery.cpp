#include "tools/lab/export_discovery.h"
#include "tools/lab/monitor_reading.h"
#include "tools/lab/print_job.h"

#include "common/product_names.h"

namespace lab {
namespace {

const char* const kProbeInstance = "vtxlab probe";

// The interface alone before the monitor, the others hidden from the device installation
// services (an empty "DeviceInstance") for the time: whether it gets a port, and whether that
// port opens, is then the monitor's own verdict on its values.
PortOutcome AloneBeforeTheMonitor(const std::vector<InterfaceView>& interfaces, size_t i,
                                  const InterfaceView& named) {
    for (size_t j = 0; j < interfaces.size(); ++j)
        if (j != i)
            vtxsim::SetStringValue(interfaces[j].key, "DeviceInstance", "");
    PortOutcome outcome;
    {
        vtxsim::MonitorHost host;
        StartMonitor(host);
        vtxsim::EnumPortsResult alone = host.EnumPorts(2);
        outcome.listed = !alone.ports.empty();
        if (outcome.listed)
            outcome.port = alone.ports.front().name;
        else if (!interfaces[i].hasValues && named.portName)
            outcome.port = TextOf(*named.portName); // named at the first load, no port after
        if (outcome.listed) {
            HANDLE handle = host.OpenPort(outcome.port);
            outcome.opens = handle != nullptr;
            if (handle != nullptr)
                host.ClosePort(handle);
        }
    }
    for (size_t j = 0; j < interfaces.size(); ++j)
        if (j != i)
            vtxsim::SetStringValue(interfaces[j].key, "DeviceInstance",
                                   interfaces[j].deviceInstance);
    return outcome;
}

} // namespace

Discovery RunDiscovery(const std::vector<InterfaceView>& interfaces, vtxsim::EnumPortsResult* ports,
                       std::vector<InterfaceView>* named) {
    {
        vtxsim::MonitorHost host;
        StartMonitor(host);
        *ports = host.EnumPorts(2);
    }
    *named = PrinterInterfaces();
    Discovery found;
    for (size_t i = 0; i < interfaces.size(); ++i)
        found.outcomes.push_back(AloneBeforeTheMonitor(interfaces, i, (*named)[i]));
    MonitorPass pass;
    for (PortOutcome& outcome : found.outcomes) {
        outcome.opens = outcome.opens && pass.Opens(outcome.port);
        found.printsTo.push_back(outcome.opens ? pass.PrintsTo(outcome.port, interfaces)
                                               : std::nullopt);
    }
    return found;
}

void AddProbeInstance() {
    vtxsim::SetStringValue(kHklm + vtxsim::kMonitorsKeyPath + "\\" + kProbeInstance, "Driver",
                           MONITOR_FILE_NAME);
}

void RemoveProbeInstance() {
    vtxsim::DeleteRegistryKey(kHklm + vtxsim::kMonitorsKeyPath + "\\" + kProbeInstance);
}

} // namespace lab
