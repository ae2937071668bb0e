// Printers for the tests of the simulated devices themselves.
#pragma once

#include "driver_install/printer_install.h"
#include "platform/sim/control/device_ctl.h"

#include <string>

namespace vtxtest {

// A printer of the default model with the given serial number, without its driver files.
vtxsim::PrinterSpec BarePrinter(const std::string& serial, bool attached = true);

} // namespace vtxtest
