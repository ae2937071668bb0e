// REGEDIT4 text: the format of "registry.reg", of the test fixtures and of what regedit exports
// on a customer's machine. Windows 98 writes "REGEDIT4" in the ANSI code page; a newer regedit,
// or a file saved again, "Windows Registry Editor Version 5.00" in UTF-16LE with a byte order
// mark (or in ANSI). Both are read here, into code page 1252.
#pragma once

#include "platform/sim/machine_types.h"
#include "platform/sim/reg_tree.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace sim {

// What is wrong with a text is a Regedit4Error; where a key or value stands, a Regedit4Place
// (machine_types.h).

// The places of what a text made, looked up by name in any letter case.
class Regedit4Places {
  public:
    // The line of the first section that names the key (for a key made only as the parent of
    // another, that section's line and its path as far as the key); nullopt when no section
    // named or made it.
    std::optional<Regedit4Place> Key(std::string_view keyPath) const;
    // The line that last set the value.
    std::optional<Regedit4Place> Value(std::string_view keyPath, std::string_view valueName) const;
    // Whether any section of the text named a key of that root.
    bool HasRoot(RegRoot root) const;

    void AddRoot(RegRoot root);
    void AddKey(const std::string& folded, Regedit4Place place); // unless placed already
    void ForgetKey(const std::string& folded);
    void AddValue(const std::string& foldedKey, std::string_view name, Regedit4Place place);
    void ForgetValue(const std::string& foldedKey, std::string_view name);

  private:
    std::unordered_map<std::string, Regedit4Place> keys_;   // by folded path
    std::unordered_map<std::string, Regedit4Place> values_; // by folded path, '\n', folded name
    std::vector<RegRoot> roots_;
};

// The text of an export's bytes: UTF-16LE after a byte order mark read into code page 1252,
// anything else as it is. Its lines are the file's lines. A UTF-16 text of an odd number of
// bytes was cut short: Regedit4Error naming source.
std::string Regedit4Text(std::string_view bytes, const std::string& source);

// Applies REGEDIT4 text (or an export's bytes, see Regedit4Text) to tree: "[key]" creates the
// key with every missing level, "[-key]" deletes it with its subtree, "name"=data sets a value,
// "name"=- deletes it. Under the "Version 5.00" header, hex(1), hex(2) and hex(7) data are
// UTF-16LE and are stored as code page 1252, as the ANSI registry functions read them.
// Throws Regedit4Error("<source>:<line>: <what>") on malformed text; tree may then be
// half-changed, so callers apply to a copy and swap it in on success. places, when given,
// records where each key and value stands.
void ApplyRegedit4(RegTree& tree, std::string_view text, const std::string& source,
                   Regedit4Places* places = nullptr);

// The whole tree as REGEDIT4 text, keys and values in creation order. Reading it back with
// ApplyRegedit4 into an empty tree gives the same tree, byte for byte.
std::string FormatRegedit4(const RegTree& tree);

// The sections of FormatRegedit4(tree), in its order (Regedit4Section: machine_types.h).
std::vector<Regedit4Section> Regedit4Sections(const RegTree& tree);

// REGEDIT4 text without the sections of roots that a Windows 98 export may hold but the
// machine does not keep (HKEY_CURRENT_CONFIG, HKEY_DYN_DATA); *skipped counts them. Their
// lines stay as blank lines, so that an error in what is left names its line in the text.
std::string WithoutForeignRoots(std::string_view text, unsigned* skipped);

} // namespace sim
