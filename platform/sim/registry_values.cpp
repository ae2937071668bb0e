#include "platform/sim/registry_values.h"

#include "platform/sim/machine.h"
#include "platform/sim/registry_db.h"

#include <stdexcept>

namespace sim {

namespace {

RegPath PathFrom(const std::string& keyPath) {
    std::optional<RegPath> path = ParseKeyPath(keyPath);
    if (!path)
        throw std::invalid_argument("bad registry key path \"" + keyPath + "\"");
    return *path;
}

} // namespace

bool KeyExists(const std::string& keyPath) {
    MachineLock lock;
    return MachineRegistry().Find(PathFrom(keyPath)).has_value();
}

std::vector<std::string> SubkeyNames(const std::string& keyPath) {
    MachineLock lock;
    std::optional<KeyId> key = MachineRegistry().Find(PathFrom(keyPath));
    return key ? MachineRegistry().SubkeyNames(*key) : std::vector<std::string>();
}

std::vector<std::string> ValueNames(const std::string& keyPath) {
    MachineLock lock;
    std::optional<KeyId> key = MachineRegistry().Find(PathFrom(keyPath));
    return key ? MachineRegistry().ValueNames(*key) : std::vector<std::string>();
}

std::optional<RegValue> RawValue(const std::string& keyPath, const std::string& name) {
    MachineLock lock;
    std::optional<KeyId> key = MachineRegistry().Find(PathFrom(keyPath));
    return key ? MachineRegistry().Value(*key, name) : std::nullopt;
}

std::optional<std::string> StringValue(const std::string& keyPath, const std::string& name) {
    std::optional<RegValue> value = RawValue(keyPath, name);
    if (!value)
        return std::nullopt;
    std::string text(value->data.begin(), value->data.end());
    return text.substr(0, text.find('\0'));
}

std::optional<DWORD> DwordValue(const std::string& keyPath, const std::string& name) {
    std::optional<RegValue> value = RawValue(keyPath, name);
    if (!value || value->data.size() != 4)
        return std::nullopt;
    const std::vector<BYTE>& d = value->data;
    return static_cast<DWORD>(d[0] | d[1] << 8 | d[2] << 16 | static_cast<DWORD>(d[3]) << 24);
}

void SetRawValue(const std::string& keyPath, const std::string& name, DWORD type,
                 const std::vector<BYTE>& data) {
    MachineLock lock;
    RegistryDb& db = MachineRegistry();
    db.SetValue(db.Create(PathFrom(keyPath)), name, type, data);
}

void SetStringValue(const std::string& keyPath, const std::string& name, const std::string& value) {
    std::vector<BYTE> data(value.begin(), value.end());
    data.push_back(0);
    SetRawValue(keyPath, name, REG_SZ, data);
}

void SetDwordValue(const std::string& keyPath, const std::string& name, DWORD value) {
    std::vector<BYTE> data;
    for (int shift = 0; shift < 32; shift += 8)
        data.push_back(static_cast<BYTE>(value >> shift));
    SetRawValue(keyPath, name, REG_DWORD, data);
}

bool DeleteRegistryKey(const std::string& keyPath) {
    MachineLock lock;
    return MachineRegistry().Delete(PathFrom(keyPath));
}

} // namespace sim
