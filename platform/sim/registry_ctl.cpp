// The registry's test-only controls.
#include "platform/sim/test/registry_ctl.h"

#include "platform/sim/machine.h"
#include "platform/sim/regedit4.h"
#include "platform/sim/registry_store.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vtxsim {

namespace {

sim::RegPath PathFrom(const std::string& keyPath) {
    std::optional<sim::RegPath> path = sim::ParseKeyPath(keyPath);
    if (!path)
        throw std::invalid_argument("bad registry key path \"" + keyPath + "\"");
    return *path;
}

const sim::RegValue* FindValue(const std::string& keyPath, const std::string& name) {
    sim::RegKey* key = sim::FindKey(sim::MachineRegistry(), PathFrom(keyPath));
    return key == nullptr ? nullptr : key->FindValue(name);
}

void Import(const std::string& text, const std::string& source) {
    sim::MachineLock lock;
    sim::RegTree merged = sim::MachineRegistry();
    sim::ApplyRegedit4(merged, text, source);
    sim::MachineRegistry() = std::move(merged);
    sim::MachineRegistryChanged();
}

} // namespace

void ImportReg(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error(path.string() + ":0: cannot open the file");
    std::ostringstream text;
    text << in.rdbuf();
    Import(text.str(), path.string());
}

void ImportRegText(const std::string& text) {
    Import(text, "<text>");
}

std::string ExportRegistry() {
    sim::MachineLock lock;
    return sim::FormatRegedit4(sim::MachineRegistry());
}

bool KeyExists(const std::string& keyPath) {
    sim::MachineLock lock;
    return sim::FindKey(sim::MachineRegistry(), PathFrom(keyPath)) != nullptr;
}

std::vector<std::string> SubkeyNames(const std::string& keyPath) {
    sim::MachineLock lock;
    std::vector<std::string> names;
    if (sim::RegKey* key = sim::FindKey(sim::MachineRegistry(), PathFrom(keyPath))) {
        for (const sim::RegKey& subkey : key->subkeys)
            names.push_back(subkey.name);
    }
    return names;
}

std::vector<std::string> ValueNames(const std::string& keyPath) {
    sim::MachineLock lock;
    std::vector<std::string> names;
    if (sim::RegKey* key = sim::FindKey(sim::MachineRegistry(), PathFrom(keyPath))) {
        for (const sim::RegValue& value : key->values)
            names.push_back(value.name);
    }
    return names;
}

std::optional<std::string> StringValue(const std::string& keyPath, const std::string& name) {
    sim::MachineLock lock;
    const sim::RegValue* value = FindValue(keyPath, name);
    if (value == nullptr)
        return std::nullopt;
    std::string text(value->data.begin(), value->data.end());
    return text.substr(0, text.find('\0'));
}

std::optional<DWORD> DwordValue(const std::string& keyPath, const std::string& name) {
    sim::MachineLock lock;
    const sim::RegValue* value = FindValue(keyPath, name);
    if (value == nullptr || value->data.size() != 4)
        return std::nullopt;
    const std::vector<BYTE>& d = value->data;
    return static_cast<DWORD>(d[0] | d[1] << 8 | d[2] << 16 | static_cast<DWORD>(d[3]) << 24);
}

std::optional<RegistryValue> RawValue(const std::string& keyPath, const std::string& name) {
    sim::MachineLock lock;
    const sim::RegValue* value = FindValue(keyPath, name);
    if (value == nullptr)
        return std::nullopt;
    return RegistryValue{value->type, value->data};
}

void SetRawValue(const std::string& keyPath, const std::string& name, const RegistryValue& value) {
    sim::MachineLock lock;
    sim::CreateKey(sim::MachineRegistry(), PathFrom(keyPath))
        .SetValue(name, value.type, value.data);
    sim::MachineRegistryChanged();
}

void SetStringValue(const std::string& keyPath, const std::string& name, const std::string& value) {
    std::vector<BYTE> data(value.begin(), value.end());
    data.push_back(0);
    SetRawValue(keyPath, name, RegistryValue{REG_SZ, std::move(data)});
}

void SetDwordValue(const std::string& keyPath, const std::string& name, DWORD value) {
    std::vector<BYTE> data;
    for (int shift = 0; shift < 32; shift += 8)
        data.push_back(static_cast<BYTE>(value >> shift));
    SetRawValue(keyPath, name, RegistryValue{REG_DWORD, std::move(data)});
}

bool DeleteRegistryKey(const std::string& keyPath) {
    sim::MachineLock lock;
    if (!sim::DeleteKey(sim::MachineRegistry(), PathFrom(keyPath)))
        return false;
    sim::MachineRegistryChanged();
    return true;
}

} // namespace vtxsim
