// The spooler's registry: a monitor instance is the key below kMonitorsKeyPath with its "Driver"
// value; a printer is the key below kPrintersKeyPath with its "Port" value (machine_types.h).
#pragma once

#include "platform/sim/machine_types.h"

#include <string>
#include <vector>

namespace sim {

// A name that is empty or holds a backslash adds or deletes nothing.
bool AddPrinter(const std::string& name, const std::string& port);
bool DeletePrinter(const std::string& name);
std::vector<std::string> PrinterNames();
// The "Port" value of a printer; empty when it has none.
std::string PrinterPort(const std::string& name);

std::vector<std::string> MonitorNames();
// The "Driver" value of a monitor instance; empty when it has none.
std::string MonitorDriver(const std::string& name);

} // namespace sim
