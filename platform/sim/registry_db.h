// The machine's registry as a database: one row per key and per value, so that a call costs
// what it touches and not the size of the registry. A machine directory keeps it in
// "registry.db" (SQLite in WAL mode), shared by every process of the machine; a machine in
// memory keeps it in an in-memory database of its own.
//
// A machine directory may be seeded with "registry.reg" (REGEDIT4): when that file is new or
// replaced since the database last took it in, it becomes the whole registry, at the next
// transaction of any process. Everything here runs inside a sim::MachineLock; the first use in
// a lock begins the database transaction and letting go of the lock commits it.
#pragma once

#include "platform/sim/reg_tree.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

using KeyId = std::int64_t;

// What RegQueryInfoKeyA reports of a key.
struct KeyInfo {
    size_t subkeys = 0;
    size_t maxSubkeyName = 0;
    size_t values = 0;
    size_t maxValueName = 0;
    size_t maxValueData = 0;
};

// Names compare without regard to ASCII case (case_folding.h) and keep the case first given;
// subkeys and values are listed in the machine's enumeration order (creation order unless set
// to sorted); the whole tree is read in creation order.
class RegistryDb {
  public:
    // A root always exists.
    std::optional<KeyId> Find(const RegPath& path);
    // Creates every missing level; *created is true when any level was new.
    KeyId Create(const RegPath& path, bool* created = nullptr);
    // Deletes the key with its subtree; false when it does not exist. Roots stay.
    bool Delete(const RegPath& path);

    std::optional<std::string> SubkeyAt(KeyId key, size_t index);
    std::vector<std::string> SubkeyNames(KeyId key);
    std::optional<RegValue> Value(KeyId key, std::string_view name);
    std::optional<RegValue> ValueAt(KeyId key, size_t index);
    std::vector<std::string> ValueNames(KeyId key);
    // Replaces the data of an existing value in its place, or adds the value last.
    void SetValue(KeyId key, std::string_view name, DWORD type, const std::vector<BYTE>& data);
    bool DeleteValue(KeyId key, std::string_view name);
    KeyInfo Info(KeyId key);

    // The whole registry as a tree, and the whole registry replaced by one: REGEDIT4 import and
    // export go through these, at a cost that grows with the registry.
    RegTree ReadTree();
    void ReplaceTree(const RegTree& tree);
};

// The machine's registry, its transaction begun.
RegistryDb& MachineRegistry();

// Writes the whole registry to the machine directory's "registry.reg" as the seed the machine
// has already taken in.
void WriteRegistryFile();

} // namespace sim
