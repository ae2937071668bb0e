// A simulated printer's state in words, for people and for JSON.
#pragma once

#include "platform/sim/control/simctl.h"

#include <nlohmann/json.hpp>

#include <string>

namespace lab {

// "plugged in, paper loaded, online, no error (status 0x18), 116 bytes received"
std::string DescribePrinter(const vtxsim::PrinterState& printer);
nlohmann::json PrinterJson(const vtxsim::PrinterState& printer);
// The serial number: the device instance's last component.
std::string SerialOf(const std::string& instance);

} // namespace lab
