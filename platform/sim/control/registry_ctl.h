// Control: set up and inspect the simulated registry. Key paths start with the root:
// "HKEY_LOCAL_MACHINE\Software\...", "HKEY_CURRENT_USER\...", "HKEY_USERS\..." or
// "HKEY_CLASSES_ROOT\..." (HKLM, HKCU, HKU and HKCR also accepted).
// A path with an unknown root throws std::invalid_argument.
#pragma once

#include "platform/sim/machine_types.h"
#include "platform/win32api.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sim {
class Regedit4Places;
}

namespace vtxsim {

using sim::EnumerationOrder;
using sim::RegRoot;

// Persisted in the machine: the order in which RegEnumKeyExA, RegEnumValueA, the device
// interface list and SubkeyNames/ValueNames below give names. Creation order on a new machine.
void SetEnumerationOrder(EnumerationOrder order);
EnumerationOrder GetEnumerationOrder();
// Both orders, the default first: what a test runs a scenario in.
constexpr EnumerationOrder kEnumerationOrders[] = {EnumerationOrder::Creation,
                                                   EnumerationOrder::Sorted};
const char* EnumerationOrderName(EnumerationOrder order); // "creation" or "sorted"

// Merges a REGEDIT4 file into the machine's registry. A malformed file throws
// std::runtime_error("<file>:<line>: <what>") and leaves the registry unchanged.
void ImportReg(const std::filesystem::path& path);
// The same for REGEDIT4 text; errors name the source "<text>".
void ImportRegText(const std::string& text);
// A registry exported from another machine (REGEDIT4 or "Windows Registry Editor Version 5.00"
// text, see ExportText), merged in the same way; errors name source. Tells where each key and
// value stands in the text: its line and its name as spelled there.
using sim::Regedit4Place;
class RegistryPlaces {
  public:
    RegistryPlaces();
    explicit RegistryPlaces(std::shared_ptr<const sim::Regedit4Places> places);
    // The first section that names the key (or makes it as the parent of another); none when
    // no section did.
    std::optional<Regedit4Place> Key(std::string_view keyPath) const;
    // The line that last set the value.
    std::optional<Regedit4Place> Value(std::string_view keyPath, std::string_view valueName) const;
    // Whether any section of the text named a key of that root.
    bool HasRoot(RegRoot root) const;

  private:
    std::shared_ptr<const sim::Regedit4Places> places_; // none for an empty text
};
RegistryPlaces ImportRegExport(const std::string& text, const std::string& source);
// The text of an export file's bytes, UTF-16 with a byte order mark read into code page 1252.
// What is wrong with a text, here and in the imports, is a Regedit4Error: what, and where.
std::string ExportText(const std::string& bytes, const std::string& source);
using sim::Regedit4Error;
using sim::Regedit4Fault;
// The whole registry as REGEDIT4 text (keys and values in creation order, whatever the
// enumeration order).
std::string ExportRegistry();
// The same, section by section: each key with its values' names and data as written there
// (hex data on one line), for reading what a machine holds without parsing the text again.
using RegistrySection = sim::Regedit4Section;
std::vector<RegistrySection> ExportRegistrySections();
// What REGEDIT4 or "Version 5.00" texts make when applied in order to an empty registry of their
// own, in the same sections, the machine's registry untouched: another machine's export or a
// fixture read as the machine reads it. Errors as those of ImportRegExport, naming source.
std::vector<RegistrySection> RegistrySectionsOf(const std::vector<std::string>& texts,
                                                const std::string& source);
// REGEDIT4 text exported by a Windows 98 machine, without the sections of the roots that the
// simulated machine does not keep; *skipped counts them.
std::string WithoutForeignRoots(std::string_view text, unsigned* skipped);
// Writes the whole registry to the machine directory's "registry.reg", the REGEDIT4 file a
// machine directory can be seeded with, as the seed the machine has already taken in.
void WriteRegistryFile();

bool KeyExists(const std::string& keyPath);
std::vector<std::string> SubkeyNames(const std::string& keyPath); // empty when no key
std::vector<std::string> ValueNames(const std::string& keyPath);  // "" is the default value

// The value's bytes up to the first zero, whatever its type.
std::optional<std::string> StringValue(const std::string& keyPath, const std::string& name);
// A value of exactly 4 bytes, whatever its type.
std::optional<DWORD> DwordValue(const std::string& keyPath, const std::string& name);
struct RegistryValue {
    DWORD type = 0;
    std::vector<BYTE> data;
    bool operator==(const RegistryValue&) const = default;
};
std::optional<RegistryValue> RawValue(const std::string& keyPath, const std::string& name);

// These create the key with every missing level. A string is stored with its terminator.
void SetStringValue(const std::string& keyPath, const std::string& name, const std::string& value);
void SetDwordValue(const std::string& keyPath, const std::string& name, DWORD value);
void SetRawValue(const std::string& keyPath, const std::string& name, const RegistryValue& value);
// Deletes the key and its subtree; false when it does not exist.
bool DeleteRegistryKey(const std::string& keyPath);

// --- REGEDIT4 text read without the machine ---

// The text as the machine writes a registry: read as ImportRegText reads it, then written again
// as ExportRegistry writes it.
std::string RewrittenRegistryText(const std::string& text, const std::string& source);
// The keys a text makes, as an import stores them: each root, then each key after its parent,
// in creation order, with its values.
struct RegistryTextKey {
    std::string name;             // as first spelled; a root's full name ("HKEY_USERS")
    std::optional<size_t> parent; // its place in the list; none for a root
    std::vector<std::pair<std::string, RegistryValue>> values; // by name, in creation order
};
std::vector<RegistryTextKey> RegistryTextKeys(const std::string& text, const std::string& source);

// Registry handles open in this process, predefined roots not counted: a leak detector.
unsigned OpenKeyHandleCount();

} // namespace vtxsim
