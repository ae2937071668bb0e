// A printer attached as the maker's driver installation and the device installer leave it,
// and what the helper then did.
#pragma once

#include "driver_install/printer_install.h"
#include "tools/lab/snapshot.h"

#include "platform/sim/control/simctl.h"

#include <string>

namespace lab {

// The printer of a model and serial; an empty product id takes the model's own.
vtxsim::PrinterSpec SpecFor(const std::string& model, const std::string& serial,
                            const std::string& productId);
// Keys, interface and driver files of the maker's installation, the maker's setup software,
// the printer plugged in. The helper with "-action=2" comes next (RunHelperAction).
void PlugIn(const vtxsim::PrinterSpec& spec);
// The helper's install in words: the monitor instance, CmdLine, the setup's start or RunOnce,
// the RENAME entries. changes is what the helper changed.
void ReportInstall(const std::string& model, const std::string& serial, const Changes& changes);
// The serial's monitor instance, "(none)" when it has none.
std::string MonitorInstanceOf(const std::string& serial);

} // namespace lab
