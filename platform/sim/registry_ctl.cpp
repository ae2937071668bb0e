// The registry's test-only controls.
#include "platform/sim/control/registry_ctl.h"

#include "platform/sim/machine.h"
#include "platform/sim/regedit4.h"
#include "platform/sim/registry_db.h"

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

std::optional<sim::RegValue> FindValue(const std::string& keyPath, const std::string& name) {
    std::optional<sim::KeyId> key = sim::MachineRegistry().Find(PathFrom(keyPath));
    return key ? sim::MachineRegistry().Value(*key, name) : std::nullopt;
}

void Import(const std::string& text, const std::string& source,
            sim::Regedit4Places* places = nullptr) {
    sim::MachineLock lock;
    sim::RegTree merged = sim::MachineRegistry().ReadTree();
    sim::ApplyRegedit4(merged, text, source, places);
    sim::MachineRegistry().ReplaceTree(merged);
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

RegistryPlaces ImportRegExport(const std::string& text, const std::string& source) {
    RegistryPlaces places;
    Import(text, source, &places);
    return places;
}

std::string ExportRegistry() {
    sim::MachineLock lock;
    return sim::FormatRegedit4(sim::MachineRegistry().ReadTree());
}

std::vector<RegistrySection> ExportRegistrySections() {
    sim::MachineLock lock;
    return sim::Regedit4Sections(sim::MachineRegistry().ReadTree());
}

std::vector<RegistrySection> RegistrySectionsOf(const std::vector<std::string>& texts,
                                                const std::string& source) {
    sim::RegTree tree;
    for (const std::string& text : texts)
        sim::ApplyRegedit4(tree, text, source);
    return sim::Regedit4Sections(tree);
}

bool KeyExists(const std::string& keyPath) {
    sim::MachineLock lock;
    return sim::MachineRegistry().Find(PathFrom(keyPath)).has_value();
}

std::vector<std::string> SubkeyNames(const std::string& keyPath) {
    sim::MachineLock lock;
    std::optional<sim::KeyId> key = sim::MachineRegistry().Find(PathFrom(keyPath));
    return key ? sim::MachineRegistry().SubkeyNames(*key) : std::vector<std::string>();
}

std::vector<std::string> ValueNames(const std::string& keyPath) {
    sim::MachineLock lock;
    std::optional<sim::KeyId> key = sim::MachineRegistry().Find(PathFrom(keyPath));
    return key ? sim::MachineRegistry().ValueNames(*key) : std::vector<std::string>();
}

std::optional<std::string> StringValue(const std::string& keyPath, const std::string& name) {
    sim::MachineLock lock;
    std::optional<sim::RegValue> value = FindValue(keyPath, name);
    if (!value)
        return std::nullopt;
    std::string text(value->data.begin(), value->data.end());
    return text.substr(0, text.find('\0'));
}

std::optional<DWORD> DwordValue(const std::string& keyPath, const std::string& name) {
    sim::MachineLock lock;
    std::optional<sim::RegValue> value = FindValue(keyPath, name);
    if (!value || value->data.size() != 4)
        return std::nullopt;
    const std::vector<BYTE>& d = value->data;
    return static_cast<DWORD>(d[0] | d[1] << 8 | d[2] << 16 | static_cast<DWORD>(d[3]) << 24);
}

std::optional<RegistryValue> RawValue(const std::string& keyPath, const std::string& name) {
    sim::MachineLock lock;
    std::optional<sim::RegValue> value = FindValue(keyPath, name);
    if (!value)
        return std::nullopt;
    return RegistryValue{value->type, value->data};
}

void SetRawValue(const std::string& keyPath, const std::string& name, const RegistryValue& value) {
    sim::MachineLock lock;
    sim::RegistryDb& db = sim::MachineRegistry();
    db.SetValue(db.Create(PathFrom(keyPath)), name, value.type, value.data);
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
    return sim::MachineRegistry().Delete(PathFrom(keyPath));
}

const char* EnumerationOrderName(EnumerationOrder order) {
    return order == EnumerationOrder::Sorted ? "sorted" : "creation";
}

} // namespace vtxsim
