// REGEDIT4 text: the format of "registry.reg" and of the test fixtures.
#pragma once

#include "platform/sim/reg_tree.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sim {

// Applies REGEDIT4 text to tree: "[key]" creates the key with every missing level,
// "[-key]" deletes it with its subtree, "name"=data sets a value, "name"=- deletes it.
// Throws std::runtime_error("<source>:<line>: <what>") on malformed text; tree may then be
// half-changed, so callers apply to a copy and swap it in on success.
void ApplyRegedit4(RegTree& tree, std::string_view text, const std::string& source);

// The whole tree as REGEDIT4 text, keys and values in creation order. Reading it back with
// ApplyRegedit4 into an empty tree gives the same tree, byte for byte.
std::string FormatRegedit4(const RegTree& tree);

// One "[key]" section of what FormatRegedit4 writes: the key's path, and each value as its
// name as written ("@" or "\"name\"") and its data as written, hex data on one line.
struct Regedit4Section {
    std::string key; // "HKEY_LOCAL_MACHINE\..."
    std::vector<std::pair<std::string, std::string>> values;
};
// The sections of FormatRegedit4(tree), in its order.
std::vector<Regedit4Section> Regedit4Sections(const RegTree& tree);

// REGEDIT4 text without the sections of roots that a Windows 98 export may hold but the
// machine does not keep (HKEY_CURRENT_CONFIG, HKEY_DYN_DATA); *skipped counts them. Their
// lines stay as blank lines, so that an error in what is left names its line in the text.
std::string WithoutForeignRoots(std::string_view text, unsigned* skipped);

} // namespace sim
