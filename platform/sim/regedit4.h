// REGEDIT4 text: the format of "registry.reg" and of the test fixtures.
#pragma once

#include "platform/sim/reg_tree.h"

#include <string>
#include <string_view>

namespace sim {

// Applies REGEDIT4 text to tree: "[key]" creates the key with every missing level,
// "[-key]" deletes it with its subtree, "name"=data sets a value, "name"=- deletes it.
// Throws std::runtime_error("<source>:<line>: <what>") on malformed text; tree may then be
// half-changed, so callers apply to a copy and swap it in on success.
void ApplyRegedit4(RegTree& tree, std::string_view text, const std::string& source);

// The whole tree as REGEDIT4 text, keys and values in creation order. Reading it back with
// ApplyRegedit4 into an empty tree gives the same tree, byte for byte.
std::string FormatRegedit4(const RegTree& tree);

} // namespace sim
