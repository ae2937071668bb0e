#include "platform/sim/registry_store.h"

#include "platform/sim/machine.h"
#include "platform/sim/regedit4.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace sim {

namespace {

char FoldCase(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

template <class Key> Key* FindSubkeyIn(std::list<Key>& subkeys, std::string_view name) {
    for (Key& key : subkeys) {
        if (RegNamesEqual(key.name, name))
            return &key;
    }
    return nullptr;
}

template <class Value> Value* FindValueIn(std::vector<Value>& values, std::string_view name) {
    for (Value& value : values) {
        if (RegNamesEqual(value.name, name))
            return &value;
    }
    return nullptr;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

bool RegNamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    }
    return true;
}

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
                           [&](const RegKey& key) { return RegNamesEqual(key.name, subkey); });
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
                           [&](const RegValue& v) { return RegNamesEqual(v.name, value); });
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
        if (RegNamesEqual(name, RootName(entry.root)) || RegNamesEqual(name, entry.shortName))
            return entry.root;
    }
    return std::nullopt;
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

// The store: the tree this process works on, and what it knows of registry.reg.
namespace {

struct FileSignature {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedNs = 0;
    long long changedNs = 0;
    bool operator==(const FileSignature&) const = default;
};

struct RegistryStore {
    RegTree tree;
    bool changed = false;
    std::optional<FileSignature> seen; // of the file as this process last read or wrote it
    bool loaded = false;               // seen is meaningful (a missing file is a state too)
};

RegistryStore& TheRegistry() {
    static RegistryStore* store = new RegistryStore; // used until exit
    return *store;
}

std::filesystem::path RegistryFile() {
    return MachineDir() / "registry.reg";
}

long long Nanoseconds(const timespec& t) {
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

std::optional<FileSignature> SignatureOf(const std::filesystem::path& file) {
    struct stat info {};
    if (stat(file.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        MachineFault("cannot read the machine registry " + file.string() + ": " +
                     std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode))
        MachineFault("the machine registry " + file.string() + " is not a file");
    return FileSignature{info.st_dev, info.st_ino, info.st_size, Nanoseconds(info.st_mtim),
                         Nanoseconds(info.st_ctim)};
}

std::string ReadWholeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in || in.bad())
        MachineFault("cannot read the machine registry " + file.string());
    return text.str();
}

void LoadRegistry() {
    RegistryStore& store = TheRegistry();
    if (!IsPersistent())
        return;
    std::filesystem::path file = RegistryFile();
    std::optional<FileSignature> now = SignatureOf(file);
    if (store.loaded && now == store.seen)
        return;
    RegTree fresh;
    if (now) {
        try {
            ApplyRegedit4(fresh, ReadWholeFile(file), file.string());
        } catch (const std::runtime_error& error) {
            MachineFault(error.what());
        }
    }
    store.tree = std::move(fresh);
    store.seen = now;
    store.loaded = true;
    store.changed = false;
}

void SaveRegistry() {
    RegistryStore& store = TheRegistry();
    if (!store.changed || !IsPersistent())
        return;
    std::filesystem::path file = RegistryFile();
    WriteFileAtomically(file, FormatRegedit4(store.tree));
    store.seen = SignatureOf(file);
    store.loaded = true;
    store.changed = false;
}

void ForgetRegistry() {
    RegistryStore& store = TheRegistry();
    store.tree = RegTree{};
    store.seen.reset();
    store.loaded = false;
    store.changed = false;
}

void ResetRegistry() {
    RegistryStore& store = TheRegistry();
    store.tree = RegTree{};
    store.changed = true;
}

const bool registered = [] {
    AddStore({"registry", LoadRegistry, SaveRegistry, ForgetRegistry, ResetRegistry});
    return true;
}();

} // namespace

RegTree& MachineRegistry() {
    return TheRegistry().tree;
}

void MachineRegistryChanged() {
    TheRegistry().changed = true;
}

} // namespace sim
