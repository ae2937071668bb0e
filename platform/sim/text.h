// Small text helpers that the simulated modules share when they read names and file lines.
#pragma once

#include <string>
#include <string_view>

namespace sim {

// text without the spaces and tabs around it, as profile and REGEDIT4 lines allow.
std::string_view TrimBlanks(std::string_view text);

} // namespace sim
