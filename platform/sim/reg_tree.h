// The simulated registry's key tree, as REGEDIT4 text reads and writes it, and the paths that
// name its keys. The machine keeps its registry in a database (registry_db.h).
#pragma once

#include "platform/sim/machine_types.h"
#include "platform/win32api.h"

#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct RegValue {
    std::string name; // "" is the key's default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data; // exactly the bytes the caller gave
};

struct RegKey {
    std::string name; // case as first created
    // Creation order, which RegEnumKeyExA reports; a list keeps references stable on insert.
    std::list<RegKey> subkeys;
    std::vector<RegValue> values; // creation order

    RegKey* FindSubkey(std::string_view subkey);
    const RegKey* FindSubkey(std::string_view subkey) const;
    // The existing subkey of that name, or a new one; *created tells which.
    RegKey& CreateSubkey(std::string_view subkey, bool* created = nullptr);
    // Removes the subkey and everything below it; false when there is none.
    bool DeleteSubkey(std::string_view subkey);

    RegValue* FindValue(std::string_view value);
    const RegValue* FindValue(std::string_view value) const;
    void SetValue(std::string_view value, DWORD type, std::vector<BYTE> data);
    bool DeleteValue(std::string_view value);
};

struct RegTree {
    RegKey localMachine{"HKEY_LOCAL_MACHINE", {}, {}};
    RegKey currentUser{"HKEY_CURRENT_USER", {}, {}};
    RegKey users{"HKEY_USERS", {}, {}};
    RegKey classesRoot{"HKEY_CLASSES_ROOT", {}, {}};

    RegKey& Root(RegRoot root);
    const RegKey& Root(RegRoot root) const;
};

// A key named by its root and its components below it.
struct RegPath {
    RegRoot root = RegRoot::LocalMachine;
    std::vector<std::string> components;
};

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS", "HKEY_CLASSES_ROOT", or the short
// forms "HKLM", "HKCU", "HKU", "HKCR".
std::optional<RegRoot> RootFromName(std::string_view name);
std::string_view RootName(RegRoot root);
// Roots a Windows 98 machine has that the simulated one does not keep: "HKEY_CURRENT_CONFIG"
// (or "HKCC") and "HKEY_DYN_DATA", in any case.
bool IsForeignRootName(std::string_view name);

// Splits "a\b\c" into its components. NULL-like "" gives none; a trailing backslash is
// ignored; a leading backslash, an empty inner component or a line break fails (nullopt).
std::optional<std::vector<std::string>> SplitSubkey(std::string_view subkey);
// "HKEY_LOCAL_MACHINE\a\b" (root first); nullopt when the root or a component is bad.
std::optional<RegPath> ParseKeyPath(std::string_view text);
std::string FormatKeyPath(const RegPath& path);

RegKey* FindKey(RegTree& tree, const RegPath& path);
// Creates every missing level; *created is true when any level was new.
RegKey& CreateKey(RegTree& tree, const RegPath& path, bool* created = nullptr);
// Deletes the key at path with its subtree; false when it does not exist. Roots stay.
bool DeleteKey(RegTree& tree, const RegPath& path);

} // namespace sim
