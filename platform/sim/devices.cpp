// Device interfaces as the registry keeps them: naming, paths and the listing of a class.
#include "platform/sim/devices.h"
#include "platform/sim/case_folding.h"
#include "platform/sim/open_key.h"

#include "platform/sim/settings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace sim {

const GUID kPrinterInterfaceClass = {
    0x5d2f7a10, 0x3c4b, 0x4e8a, {0x9b, 0x61, 0x2f, 0x0c, 0x8e, 0x4d, 0x7a, 0x93}};

const char* const kInterfaceParametersSubkey = "#\\Device Parameters";

namespace {

const char* const kDeviceClassesPath = "System\\CurrentControlSet\\Control\\DeviceClasses";
const char* const kNinexPrefix = "##.#"; // Windows 9x: "##.#<number>#{class}"
const char* const kNtPrefix = "##?#";    // Windows 2000: "##?#<instance, # for \\>#{class}"
constexpr size_t kNumberDigits = 16;
constexpr DWORD kNameBufferSize = 512; // registry key names are at most 255 characters on 9x

std::optional<std::string> QueryText(HKEY key, const char* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string data(size, '\0');
    if (size > 0 && RegQueryValueExA(key, name, nullptr, &type,
                                     reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size);
    while (!data.empty() && data.back() == '\0')
        data.pop_back();
    return data;
}

std::vector<std::string> SubkeyNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[kNameBufferSize];
        DWORD length = kNameBufferSize;
        LONG result = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

void ListClass(const GUID& interfaceClass, std::vector<InterfaceRecord>& out) {
    std::string classPath = InterfaceClassKeyPath(interfaceClass);
    OpenKey classKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, classPath.c_str(), 0, KEY_READ, classKey.Out()) !=
        ERROR_SUCCESS)
        return;
    for (const std::string& name : SubkeyNames(classKey.Get())) {
        OpenKey interfaceKey;
        if (RegOpenKeyExA(classKey.Get(), name.c_str(), 0, KEY_READ, interfaceKey.Out()) !=
            ERROR_SUCCESS)
            continue;
        std::optional<std::string> instance = QueryText(interfaceKey.Get(), "DeviceInstance");
        if (!instance || instance->empty())
            continue;
        out.push_back(InterfaceRecord{interfaceClass, classPath + "\\" + name, *instance,
                                      DevicePathFromKeyName(name)});
    }
}

// The number of a 9x interface key name, or nothing for another name. A number beyond what the
// machine counts to cannot meet one it hands out, so it counts as none.
std::optional<DWORD> InterfaceNumberOf(std::string_view keyName) {
    if (keyName.substr(0, 4) != kNinexPrefix || keyName.size() < 4 + kNumberDigits + 1 ||
        keyName[4 + kNumberDigits] != '#')
        return std::nullopt;
    unsigned long long number = 0;
    for (char c : keyName.substr(4, kNumberDigits)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number > 0xFFFFFFFEull)
        return std::nullopt;
    return static_cast<DWORD>(number);
}

// The highest interface number the registry holds in any class: a registry seeded from a file
// may hold numbers this machine never handed out.
DWORD HighestInterfaceNumber() {
    DWORD highest = 0;
    OpenKey classes;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceClassesPath, 0, KEY_READ, classes.Out()) !=
        ERROR_SUCCESS)
        return highest;
    for (const std::string& className : SubkeyNames(classes.Get())) {
        OpenKey classKey;
        if (RegOpenKeyExA(classes.Get(), className.c_str(), 0, KEY_READ, classKey.Out()) !=
            ERROR_SUCCESS)
            continue;
        for (const std::string& name : SubkeyNames(classKey.Get()))
            highest = std::max(highest, InterfaceNumberOf(name).value_or(0));
    }
    return highest;
}

} // namespace

std::string GuidText(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

std::optional<GUID> ParseGuid(std::string_view text) {
    // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
    if (text.size() != 38 || text.front() != '{' || text.back() != '}')
        return std::nullopt;
    std::string hex;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        char c = text[i];
        bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash != (c == '-'))
            return std::nullopt;
        if (!dash) {
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return std::nullopt;
            hex += c;
        }
    }
    auto field = [&hex](size_t at, size_t digits) {
        return std::stoul(hex.substr(at, digits), nullptr, 16);
    };
    GUID guid{};
    guid.Data1 = static_cast<DWORD>(field(0, 8));
    guid.Data2 = static_cast<WORD>(field(8, 4));
    guid.Data3 = static_cast<WORD>(field(12, 4));
    for (size_t i = 0; i < 8; ++i)
        guid.Data4[i] = static_cast<BYTE>(field(16 + 2 * i, 2));
    return guid;
}

bool SameGuid(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (size_t i = 0; i < 8; ++i) {
        if (a.Data4[i] != b.Data4[i])
            return false;
    }
    return true;
}

std::string InterfaceClassKeyPath(const GUID& interfaceClass) {
    return std::string(kDeviceClassesPath) + "\\" + GuidText(interfaceClass);
}

std::string InterfaceKeyName(DWORD number, const GUID& interfaceClass) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%016lu", static_cast<unsigned long>(number));
    return std::string(kNinexPrefix) + digits + "#" + GuidText(interfaceClass);
}

std::string NtInterfaceKeyName(std::string_view deviceInstance, const GUID& interfaceClass) {
    std::string name = kNtPrefix;
    for (char c : deviceInstance)
        name += c == '\\' ? '#' : c;
    return name + "#" + GuidText(interfaceClass);
}

std::string NewInterfaceKeyName(const GUID& interfaceClass) {
    return InterfaceKeyName(TakeInterfaceNumber(HighestInterfaceNumber()), interfaceClass);
}

std::string NextInterfaceKeyName(const GUID& interfaceClass) {
    return InterfaceKeyName(PeekInterfaceNumber(HighestInterfaceNumber()), interfaceClass);
}

std::string DevicePathFromKeyName(std::string_view keyName) {
    if (keyName.substr(0, 4) == kNinexPrefix)
        return "\\\\.\\" + FoldAscii(keyName.substr(4));
    if (keyName.substr(0, 4) == kNtPrefix)
        keyName.remove_prefix(4);
    return "\\\\?\\" + FoldAscii(keyName);
}

std::optional<std::string> InstanceOfDevicePath(std::string_view path, const GUID& interfaceClass) {
    bool ninex = path.substr(0, 4) == "\\\\.\\";
    if (!ninex && path.substr(0, 4) != "\\\\?\\")
        return std::nullopt;
    std::string_view rest = path.substr(4);
    size_t hash = rest.rfind('#');
    if (hash == std::string_view::npos || hash == 0 || rest.find('\\') != std::string_view::npos)
        return std::nullopt;
    std::optional<GUID> guid = ParseGuid(rest.substr(hash + 1));
    if (!guid || !SameGuid(*guid, interfaceClass))
        return std::nullopt;
    if (ninex) {
        // The number names the interface key, whose "DeviceInstance" names the device.
        std::string key =
            InterfaceClassKeyPath(interfaceClass) + "\\" + kNinexPrefix + std::string(rest);
        OpenKey interfaceKey;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, interfaceKey.Out()) !=
            ERROR_SUCCESS)
            return std::nullopt;
        std::optional<std::string> instance = QueryText(interfaceKey.Get(), "DeviceInstance");
        if (!instance || instance->empty())
            return std::nullopt;
        return instance;
    }
    std::string instance(rest.substr(0, hash));
    std::replace(instance.begin(), instance.end(), '#', '\\');
    return instance;
}

std::vector<InterfaceRecord> ListInterfaces(const GUID* interfaceClass) {
    std::vector<InterfaceRecord> records;
    if (interfaceClass != nullptr) {
        ListClass(*interfaceClass, records);
        return records;
    }
    OpenKey classes;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceClassesPath, 0, KEY_READ, classes.Out()) !=
        ERROR_SUCCESS)
        return records;
    for (const std::string& name : SubkeyNames(classes.Get())) {
        if (std::optional<GUID> guid = ParseGuid(name))
            ListClass(*guid, records);
    }
    return records;
}

} // namespace sim
