#include "loaded_monitor.h"

#include <rapidcheck.h>

namespace property {

LoadedMonitor::LoadedMonitor() {
    vtxsim::SetStringValue(std::string("HKLM\\") + vtxsim::kMonitorsKeyPath + "\\property",
                           "Driver", "vtxpmo01.dll");
    RC_ASSERT(host_.StartInstances());
    Rebuild();
}

void LoadedMonitor::Rebuild() {
    vtxsim::SetTickCount(kTick - 2 * kStaleWindow - 1);
    host_.EnumPorts(1);
    vtxsim::SetTickCount(kTick);
    host_.EnumPorts(1);
}

std::vector<std::string> LoadedMonitor::PortNames() const {
    std::vector<std::string> names;
    for (const vtxsim::PortInfo& port : host_.EnumPorts(1).ports)
        names.push_back(port.name);
    return names;
}

} // namespace property
