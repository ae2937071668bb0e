// The maker's printers of the histories and the removal property: three models, each its own
// device type, and the helper run as the device installer runs it.
#pragma once

#include "driver_install/printer_install.h"
#include "platform/sim/control/simctl.h"

#include <string>
#include <vector>

namespace property {

// "Draftaire K9", "Draftaire K7", "Draftaire K5".
const std::vector<std::string>& MakerModels();
// The printer of model with serial, as the maker's driver installs it.
vtxsim::PrinterSpec MakerPrinter(const std::string& serial, const std::string& model);
// "USB/<model>/<serial>".
std::string MakerPortName(const std::string& serial, const std::string& model);
// The helper with "-action=", "-model=" and "-serial=", in this process as in a new one.
void RunHelper(int action, const std::string& model, const std::string& serial);

} // namespace property
