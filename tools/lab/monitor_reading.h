// The monitor's own reading of an interface's values: its discovery code, linked into vtxlab,
// run on a scratch key of explain's throw-away machine that holds a copy of the values. The
// reading writes PortName where it composes one, so it never runs on the interface's own key,
// nor on a machine that must stay as it is.
#pragma once

#include "tools/lab/machine_view.h"

#include <optional>
#include <string>
#include <vector>

namespace lab {

struct MonitorReading {
    bool usable = false;   // the interface gets a port in a pass of the monitor
    bool nameRead = false; // its name is accepted: a readable Enabled would make it usable
    std::string name;      // the port name read or composed, when usable
    DWORD enabled = 0;     // "Enabled" as the monitor reads it, when usable
};

MonitorReading ReadAsTheMonitor(const InterfaceView& view);

// The monitor's port table after one pass of its discovery over every interface of the
// machine, as the spooler's EnumPorts and OpenPort then see it. Like the reading, the pass
// writes PortName where it composes one: the throw-away machine only.
class MonitorPass {
  public:
    MonitorPass();
    ~MonitorPass();
    MonitorPass(const MonitorPass&) = delete;
    MonitorPass& operator=(const MonitorPass&) = delete;

    // Whether OpenPort accepts port.
    bool Opens(const std::string& port) const;
    // The interface an OpenPort of port prints to (its index in interfaces), or none when
    // OpenPort refuses the name or the interface is not among them.
    std::optional<size_t> PrintsTo(const std::string& port,
                                   const std::vector<InterfaceView>& interfaces) const;
};

} // namespace lab
