// Reading REGEDIT4 text as the simulator exports it, and the part of a customer's export that
// the simulator takes.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lab {

struct RegSection {
    std::string key; // "HKEY_LOCAL_MACHINE\..."
    // Value name as written ("@" or "\"name\"") and its data as written, continuations joined.
    std::vector<std::pair<std::string, std::string>> values;
};

// The sections of an export in order; a "[-key]" section is not expected and is skipped.
std::vector<RegSection> ParseExport(std::string_view text);

// The text without the sections of roots that a Windows 98 export may hold but the simulated
// machine does not keep (HKEY_CURRENT_CONFIG, HKEY_DYN_DATA); *skipped counts them.
std::string WithoutForeignRoots(std::string_view text, unsigned* skipped);

} // namespace lab
