// The monitor's own reading of an interface's values: its discovery code, linked into vtxlab,
// run on a scratch key of explain's throw-away machine that holds a copy of the values. The
// reading writes PortName where it composes one, so it never runs on the interface's own key,
// nor on a machine that must stay as it is.
#pragma once

#include "tools/lab/machine_view.h"

#include <string>

namespace lab {

struct MonitorReading {
    bool usable = false;   // the interface gets a port in a pass of the monitor
    bool nameRead = false; // its name is accepted: a readable Enabled would make it usable
    std::string name;      // the port name read or composed, when usable
    DWORD enabled = 0;     // "Enabled" as the monitor reads it, when usable
};

MonitorReading ReadAsTheMonitor(const InterfaceView& view);

} // namespace lab
