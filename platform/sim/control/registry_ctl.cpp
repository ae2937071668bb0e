#include "platform/sim/control/registry_ctl.h"

#include "platform/sim/live_counts.h"
#include "platform/sim/machine.h"
#include "platform/sim/regedit4.h"
#include "platform/sim/registry_db.h"
#include "platform/sim/registry_values.h"
#include "platform/sim/settings.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vtxsim {

namespace {

void Import(const std::string& text, const std::string& source,
            sim::Regedit4Places* places = nullptr) {
    sim::MachineLock lock;
    sim::RegTree merged = sim::MachineRegistry().ReadTree();
    sim::ApplyRegedit4(merged, text, source, places);
    sim::MachineRegistry().ReplaceTree(merged);
}

void AddKeys(const sim::RegKey& key, std::optional<size_t> parent,
             std::vector<RegistryTextKey>& keys) {
    RegistryTextKey row{key.name, parent, {}};
    for (const sim::RegValue& value : key.values)
        row.values.emplace_back(value.name, RegistryValue{value.type, value.data});
    keys.push_back(std::move(row));
    size_t place = keys.size() - 1;
    for (const sim::RegKey& subkey : key.subkeys)
        AddKeys(subkey, place, keys);
}

} // namespace

void SetEnumerationOrder(EnumerationOrder order) {
    sim::SetEnumerationOrder(order);
}

EnumerationOrder GetEnumerationOrder() {
    return sim::RegistryEnumerationOrder();
}

const char* EnumerationOrderName(EnumerationOrder order) {
    return order == EnumerationOrder::Sorted ? "sorted" : "creation";
}

RegistryPlaces::RegistryPlaces() = default;

RegistryPlaces::RegistryPlaces(std::shared_ptr<const sim::Regedit4Places> places)
    : places_(std::move(places)) {}

std::optional<Regedit4Place> RegistryPlaces::Key(std::string_view keyPath) const {
    return places_ ? places_->Key(keyPath) : std::nullopt;
}

std::optional<Regedit4Place> RegistryPlaces::Value(std::string_view keyPath,
                                                   std::string_view valueName) const {
    return places_ ? places_->Value(keyPath, valueName) : std::nullopt;
}

bool RegistryPlaces::HasRoot(RegRoot root) const {
    return places_ && places_->HasRoot(root);
}

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
    auto places = std::make_shared<sim::Regedit4Places>();
    Import(text, source, places.get());
    return RegistryPlaces(std::move(places));
}

std::string ExportText(const std::string& bytes, const std::string& source) {
    return sim::Regedit4Text(bytes, source);
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

std::string WithoutForeignRoots(std::string_view text, unsigned* skipped) {
    return sim::WithoutForeignRoots(text, skipped);
}

void WriteRegistryFile() {
    sim::WriteRegistryFile();
}

bool KeyExists(const std::string& keyPath) {
    return sim::KeyExists(keyPath);
}

std::vector<std::string> SubkeyNames(const std::string& keyPath) {
    return sim::SubkeyNames(keyPath);
}

std::vector<std::string> ValueNames(const std::string& keyPath) {
    return sim::ValueNames(keyPath);
}

std::optional<std::string> StringValue(const std::string& keyPath, const std::string& name) {
    return sim::StringValue(keyPath, name);
}

std::optional<DWORD> DwordValue(const std::string& keyPath, const std::string& name) {
    return sim::DwordValue(keyPath, name);
}

std::optional<RegistryValue> RawValue(const std::string& keyPath, const std::string& name) {
    std::optional<sim::RegValue> value = sim::RawValue(keyPath, name);
    if (!value)
        return std::nullopt;
    return RegistryValue{value->type, value->data};
}

void SetRawValue(const std::string& keyPath, const std::string& name, const RegistryValue& value) {
    sim::SetRawValue(keyPath, name, value.type, value.data);
}

void SetStringValue(const std::string& keyPath, const std::string& name, const std::string& value) {
    sim::SetStringValue(keyPath, name, value);
}

void SetDwordValue(const std::string& keyPath, const std::string& name, DWORD value) {
    sim::SetDwordValue(keyPath, name, value);
}

bool DeleteRegistryKey(const std::string& keyPath) {
    return sim::DeleteRegistryKey(keyPath);
}

std::string RewrittenRegistryText(const std::string& text, const std::string& source) {
    sim::RegTree tree;
    sim::ApplyRegedit4(tree, text, source);
    return sim::FormatRegedit4(tree);
}

std::vector<RegistryTextKey> RegistryTextKeys(const std::string& text, const std::string& source) {
    sim::RegTree tree;
    sim::ApplyRegedit4(tree, text, source);
    std::vector<RegistryTextKey> keys;
    for (sim::RegRoot root : sim::kRegRoots)
        AddKeys(tree.Root(root), std::nullopt, keys);
    return keys;
}

unsigned OpenKeyHandleCount() {
    return sim::OpenKeyHandleCount();
}

} // namespace vtxsim
