// The machine's registry by key path text: "HKEY_LOCAL_MACHINE\Software\...",
// "HKEY_CURRENT_USER\...", "HKEY_USERS\..." or "HKEY_CLASSES_ROOT\..." (HKLM, HKCU, HKU and HKCR
// also accepted). Each call takes the machine's lock itself; a path with an unknown root throws
// std::invalid_argument.
#pragma once

#include "platform/sim/reg_tree.h"
#include "platform/win32api.h"

#include <optional>
#include <string>
#include <vector>

namespace sim {

bool KeyExists(const std::string& keyPath);
std::vector<std::string> SubkeyNames(const std::string& keyPath); // empty when no key
std::vector<std::string> ValueNames(const std::string& keyPath);  // "" is the default value

// The value's bytes up to the first zero, whatever its type.
std::optional<std::string> StringValue(const std::string& keyPath, const std::string& name);
// A value of exactly 4 bytes, whatever its type.
std::optional<DWORD> DwordValue(const std::string& keyPath, const std::string& name);
std::optional<RegValue> RawValue(const std::string& keyPath, const std::string& name);

// These create the key with every missing level. A string is stored with its terminator.
void SetRawValue(const std::string& keyPath, const std::string& name, DWORD type,
                 const std::vector<BYTE>& data);
void SetStringValue(const std::string& keyPath, const std::string& name, const std::string& value);
void SetDwordValue(const std::string& keyPath, const std::string& name, DWORD value);
// Deletes the key and its subtree; false when it does not exist.
bool DeleteRegistryKey(const std::string& keyPath);

} // namespace sim
