#include "platform/sim/reg_tree.h"
#include "platform/sim/case_folding.h"

#include <algorithm>
#include <utility>

namespace sim {

namespace {

template <class Key> Key* FindSubkeyIn(std::list<Key>& subkeys, std::string_view name) {
    for (Key& key : subkeys) {
        if (SameAscii(key.name, name))
            return &key;
    }
    return nullptr;
}

template <class Value> Value* FindValueIn(std::vector<Value>& values, std::string_view name) {
    for (Value& value : values) {
        if (SameAscii(value.name, name))
            return &value;
    }
    return nullptr;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

RegKey* RegKey::FindSubkey(std::string_view subkey) {
    return FindSubkeyIn(subkeys, subkey);
}

const RegKey* RegKey::FindSubkey(std::string_view subkey) const {
    return FindSubkeyIn(const_cast<std::list<RegKey>&>(subkeys), subkey);
}

RegKey& RegKey::CreateSubkey(std::string_view subkey, bool* created) {
    RegKey* found = FindSubkey(subkey);
    if (created != nullptr)
        *created = found == nullptr;
    if (found != nullptr)
        return *found;
    subkeys.push_back(RegKey{std::string(subkey), {}, {}});
    return subkeys.back();
}

bool RegKey::DeleteSubkey(std::string_view subkey) {
    auto it = std::find_if(subkeys.begin(), subkeys.end(),
                           [&](const RegKey& key) { return SameAscii(key.name, subkey); });
    if (it == subkeys.end())
        return false;
    subkeys.erase(it);
    return true;
}

RegValue* RegKey::FindValue(std::string_view value) {
    return FindValueIn(values, value);
}

const RegValue* RegKey::FindValue(std::string_view value) const {
    return FindValueIn(const_cast<std::vector<RegValue>&>(values), value);
}

void RegKey::SetValue(std::string_view value, DWORD type, std::vector<BYTE> data) {
    RegValue* found = FindValue(value);
    if (found == nullptr) {
        values.push_back(RegValue{std::string(value), type, std::move(data)});
        return;
    }
    found->type = type;
    found->data = std::move(data);
}

bool RegKey::DeleteValue(std::string_view value) {
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const RegValue& v) { return SameAscii(v.name, value); });
    if (it == values.end())
        return false;
    values.erase(it);
    return true;
}

RegKey& RegTree::Root(RegRoot root) {
    return const_cast<RegKey&>(std::as_const(*this).Root(root));
}

const RegKey& RegTree::Root(RegRoot root) const {
    switch (root) {
    case RegRoot::CurrentUser:
        return currentUser;
    case RegRoot::Users:
        return users;
    case RegRoot::ClassesRoot:
        return classesRoot;
    case RegRoot::LocalMachine:
        break;
    }
    return localMachine;
}

std::optional<RegRoot> RootFromName(std::string_view name) {
    static constexpr struct {
        std::string_view shortName;
        RegRoot root;
    } kShortNames[] = {{"HKLM", RegRoot::LocalMachine},
                       {"HKCU", RegRoot::CurrentUser},
                       {"HKU", RegRoot::Users},
                       {"HKCR", RegRoot::ClassesRoot}};
    for (const auto& entry : kShortNames) {
        if (SameAscii(name, RootName(entry.root)) || SameAscii(name, entry.shortName))
            return entry.root;
    }
    return std::nullopt;
}

bool IsForeignRootName(std::string_view name) {
    return SameAscii(name, "HKEY_CURRENT_CONFIG") || SameAscii(name, "HKCC") ||
           SameAscii(name, "HKEY_DYN_DATA");
}

std::string_view RootName(RegRoot root) {
    switch (root) {
    case RegRoot::CurrentUser:
        return "HKEY_CURRENT_USER";
    case RegRoot::Users:
        return "HKEY_USERS";
    case RegRoot::ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    case RegRoot::LocalMachine:
        break;
    }
    return "HKEY_LOCAL_MACHINE";
}

std::optional<std::vector<std::string>> SplitSubkey(std::string_view subkey) {
    std::vector<std::string> components;
    if (HasLineBreak(subkey))
        return std::nullopt; // cannot be written to registry.reg
    if (!subkey.empty() && subkey.back() == '\\')
        subkey.remove_suffix(1);
    if (subkey.empty())
        return components;
    size_t start = 0;
    while (true) {
        size_t end = subkey.find('\\', start);
        std::string_view part = subkey.substr(start, end - start);
        if (part.empty())
            return std::nullopt;
        components.emplace_back(part);
        if (end == std::string_view::npos)
            return components;
        start = end + 1;
    }
}

std::optional<RegPath> ParseKeyPath(std::string_view text) {
    size_t slash = text.find('\\');
    std::optional<RegRoot> root = RootFromName(text.substr(0, slash));
    if (!root)
        return std::nullopt;
    std::string_view rest = slash == std::string_view::npos ? "" : text.substr(slash + 1);
    if (slash != std::string_view::npos && rest.empty())
        return RegPath{*root, {}}; // "HKLM\" names the root
    std::optional<std::vector<std::string>> components = SplitSubkey(rest);
    if (!components)
        return std::nullopt;
    return RegPath{*root, std::move(*components)};
}

std::string FormatKeyPath(const RegPath& path) {
    std::string text(RootName(path.root));
    for (const std::string& component : path.components)
        text += "\\" + component;
    return text;
}

RegKey* FindKey(RegTree& tree, const RegPath& path) {
    RegKey* key = &tree.Root(path.root);
    for (const std::string& component : path.components) {
        key = key->FindSubkey(component);
        if (key == nullptr)
            return nullptr;
    }
    return key;
}

RegKey& CreateKey(RegTree& tree, const RegPath& path, bool* created) {
    bool any = false;
    RegKey* key = &tree.Root(path.root);
    for (const std::string& component : path.components) {
        bool level = false;
        key = &key->CreateSubkey(component, &level);
        any = any || level;
    }
    if (created != nullptr)
        *created = any;
    return *key;
}

bool DeleteKey(RegTree& tree, const RegPath& path) {
    if (path.components.empty())
        return false;
    RegPath parentPath{path.root, {path.components.begin(), path.components.end() - 1}};
    RegKey* parent = FindKey(tree, parentPath);
    return parent != nullptr && parent->DeleteSubkey(path.components.back());
}

} // namespace sim
