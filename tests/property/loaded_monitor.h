// The monitor loaded in the spooler stand-in as the spooler loads it, for the properties and
// histories that drive it. The library is loaded once per process, so its port table outlives
// each machine: Rebuild() makes it match the machine at a known tick.
#pragma once

#include "platform/sim/control/simctl.h"

#include <vector>

namespace property {

constexpr DWORD kTick = 1'000'000;
constexpr DWORD kStaleWindow = 10'000;

class LoadedMonitor {
  public:
    // Registers an instance of its own, starts every instance and rebuilds the table.
    LoadedMonitor();
    // However old the last rebuild, one call before kTick and one at it leave a fresh table
    // and the clock at kTick.
    void Rebuild();
    const MONITOR& Table() const { return host_.Table(); }
    // The names EnumPorts lists now, at level 1.
    std::vector<std::string> PortNames() const;

  private:
    vtxsim::MonitorHost host_;
};

} // namespace property
