// ADVAPI32's registry functions as Windows 98 behaves.
//
// Notes on the 9x behaviour reproduced here:
// - an HKEY is process-local and names its key by path, so it stays valid whatever another
//   process changes; once its key is deleted, every use fails with ERROR_KEY_DELETED;
// - the predefined roots can be "closed" (nothing happens); other handles not open give
//   ERROR_INVALID_HANDLE, and so do the predefined roots this machine does not keep
//   (HKEY_CLASSES_ROOT, HKEY_USERS, ...), where 9x itself may answer ERROR_BADKEY;
// - an unset default value is missing (2), as for any other value;
// - access masks are not checked (9x keeps no key security);
// - classes and write times are not kept: class buffers get "", times are zero.
// - every call returns its error and leaves the thread's last error alone.
#include "platform/sim/machine.h"
#include "platform/sim/registry_db.h"
#include "platform/sim/live_counts.h"
#include "platform/sim/simulated_call.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {

using sim::KeyId;
using sim::RegPath;
using sim::RegRoot;
using sim::RegValue;

constexpr uintptr_t kFirstHandle = 0x1000;
constexpr uintptr_t kHandleStep = 4;

struct HandleTable {
    std::map<uintptr_t, RegPath> keys;
    uintptr_t next = kFirstHandle; // never reused, so a stale handle stays invalid
};

HandleTable& Handles() {
    static HandleTable* table = new HandleTable; // used until exit
    return *table;
}

uintptr_t HandleValue(HKEY key) {
    return reinterpret_cast<uintptr_t>(key);
}

bool IsPredefinedRoot(HKEY key) {
    uintptr_t value = HandleValue(key);
    return value >= HandleValue(HKEY_CLASSES_ROOT) &&
           value <= HandleValue(HKEY_CLASSES_ROOT) + 6; // up to HKEY_DYN_DATA
}

HKEY NewHandle(const RegPath& path) {
    HandleTable& table = Handles();
    uintptr_t value = table.next;
    table.next += kHandleStep;
    table.keys.emplace(value, path);
    return reinterpret_cast<HKEY>(value);
}

// The path a handle names, or nullopt with *error set.
std::optional<RegPath> PathOf(HKEY key, LONG* error) {
    if (key == HKEY_LOCAL_MACHINE)
        return RegPath{RegRoot::LocalMachine, {}};
    if (key == HKEY_CURRENT_USER)
        return RegPath{RegRoot::CurrentUser, {}};
    auto it = Handles().keys.find(HandleValue(key));
    if (it == Handles().keys.end()) {
        *error = ERROR_INVALID_HANDLE;
        return std::nullopt;
    }
    return it->second;
}

// The key a handle names, or nullopt with *error set.
std::optional<KeyId> KeyOf(HKEY key, LONG* error) {
    std::optional<RegPath> path = PathOf(key, error);
    if (!path)
        return std::nullopt;
    std::optional<KeyId> found = sim::MachineRegistry().Find(*path);
    if (!found)
        *error = ERROR_KEY_DELETED;
    return found;
}

// The path of subkey below the handle's key, or nullopt with *error set.
std::optional<RegPath> SubkeyPath(HKEY key, LPCSTR subkey, LONG* error) {
    if (!KeyOf(key, error))
        return std::nullopt;
    std::optional<RegPath> path = PathOf(key, error);
    std::optional<std::vector<std::string>> parts =
        sim::SplitSubkey(subkey == nullptr ? "" : subkey);
    if (!parts) {
        *error = ERROR_BAD_PATHNAME;
        return std::nullopt;
    }
    path->components.insert(path->components.end(), parts->begin(), parts->end());
    return path;
}

std::string_view ValueName(LPCSTR name) {
    return name == nullptr ? "" : name;
}

// Hands out a new handle to the subkey below the handle's key; with create, the subkey and
// its missing parents are made first, else a missing subkey is ERROR_FILE_NOT_FOUND.
LONG OpenSubkey(HKEY key, LPCSTR subkey, bool create, PHKEY result) {
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    LONG error = ERROR_SUCCESS;
    std::optional<RegPath> path = SubkeyPath(key, subkey, &error);
    if (!path)
        return error;
    if (create) {
        sim::MachineRegistry().Create(*path);
    } else if (!sim::MachineRegistry().Find(*path)) {
        return ERROR_FILE_NOT_FOUND;
    }
    *result = NewHandle(*path);
    return ERROR_SUCCESS;
}

// Copies a name with its terminator into a buffer of *chars characters; 234 when it does not
// fit (buffer and count left untouched), else *chars = the length without the terminator.
LONG CopyName(const std::string& name, LPSTR buffer, LPDWORD chars) {
    if (name.size() + 1 > *chars)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *chars = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

void EmptyClass(LPSTR classBuffer, LPDWORD classChars) {
    if (classBuffer != nullptr && classChars != nullptr && *classChars > 0)
        classBuffer[0] = '\0';
    if (classChars != nullptr)
        *classChars = 0;
}

void ZeroTime(PFILETIME time) {
    if (time != nullptr)
        *time = FILETIME{};
}

void SetIfGiven(LPDWORD out, size_t value) {
    if (out != nullptr)
        *out = static_cast<DWORD>(value);
}

// Whether a value's data fits the caller's buffer (no buffer asks only for the size); when
// not, *dataBytes gets the size needed.
bool DataFits(const RegValue& value, LPBYTE data, LPDWORD dataBytes) {
    if (data == nullptr || *dataBytes >= value.data.size())
        return true;
    *dataBytes = static_cast<DWORD>(value.data.size());
    return false;
}

// Copies a value's data into the caller's buffer, if any, and its size into *dataBytes.
void CopyData(const RegValue& value, LPBYTE data, LPDWORD dataBytes) {
    if (data != nullptr)
        std::copy(value.data.begin(), value.data.end(), data);
    SetIfGiven(dataBytes, value.data.size());
}

} // namespace

extern "C" {

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
    return sim::ErrorResultCall("RegOpenKeyExA",
                                [&] { return OpenSubkey(hKey, lpSubKey, false, phkResult); });
}

LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    return sim::ErrorResultCall("RegCreateKeyA",
                                [&] { return OpenSubkey(hKey, lpSubKey, true, phkResult); });
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
    return sim::ErrorResultCall("RegQueryValueExA", [&]() -> LONG {
        if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr))
            return ERROR_INVALID_PARAMETER;
        LONG error = ERROR_SUCCESS;
        std::optional<KeyId> key = KeyOf(hKey, &error);
        if (!key)
            return error;
        std::optional<RegValue> value = sim::MachineRegistry().Value(*key, ValueName(lpValueName));
        if (!value)
            return ERROR_FILE_NOT_FOUND;
        if (lpType != nullptr)
            *lpType = value->type;
        if (!DataFits(*value, lpData, lpcbData))
            return ERROR_MORE_DATA;
        CopyData(*value, lpData, lpcbData);
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) {
    return sim::ErrorResultCall("RegSetValueExA", [&]() -> LONG {
        std::string_view name = ValueName(lpValueName);
        // A name with a line break could not be exported as REGEDIT4.
        if ((lpData == nullptr && cbData > 0) || name.find_first_of("\r\n") != name.npos)
            return ERROR_INVALID_PARAMETER;
        LONG error = ERROR_SUCCESS;
        std::optional<KeyId> key = KeyOf(hKey, &error);
        if (!key)
            return error;
        std::vector<BYTE> data(lpData, lpData + cbData);
        sim::MachineRegistry().SetValue(*key, name, dwType, data);
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
    return sim::ErrorResultCall("RegEnumKeyExA", [&]() -> LONG {
        if (lpName == nullptr || lpcchName == nullptr || lpReserved != nullptr)
            return ERROR_INVALID_PARAMETER;
        LONG error = ERROR_SUCCESS;
        std::optional<KeyId> key = KeyOf(hKey, &error);
        if (!key)
            return error;
        std::optional<std::string> subkey = sim::MachineRegistry().SubkeyAt(*key, dwIndex);
        if (!subkey)
            return ERROR_NO_MORE_ITEMS;
        error = CopyName(*subkey, lpName, lpcchName);
        if (error != ERROR_SUCCESS)
            return error;
        EmptyClass(lpClass, lpcchClass);
        ZeroTime(lpftLastWriteTime);
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                          LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    return sim::ErrorResultCall("RegEnumValueA", [&]() -> LONG {
        if (lpValueName == nullptr || lpcchValueName == nullptr || lpReserved != nullptr ||
            (lpData != nullptr && lpcbData == nullptr))
            return ERROR_INVALID_PARAMETER;
        LONG error = ERROR_SUCCESS;
        std::optional<KeyId> key = KeyOf(hKey, &error);
        if (!key)
            return error;
        std::optional<RegValue> found = sim::MachineRegistry().ValueAt(*key, dwIndex);
        if (!found)
            return ERROR_NO_MORE_ITEMS;
        const RegValue& value = *found;
        if (value.name.size() + 1 > *lpcchValueName)
            return ERROR_MORE_DATA;
        if (!DataFits(value, lpData, lpcbData))
            return ERROR_MORE_DATA;
        CopyName(value.name, lpValueName, lpcchValueName);
        if (lpType != nullptr)
            *lpType = value.type;
        CopyData(value, lpData, lpcbData);
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                             LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                             LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                             LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime) {
    return sim::ErrorResultCall("RegQueryInfoKeyA", [&]() -> LONG {
        if (lpReserved != nullptr)
            return ERROR_INVALID_PARAMETER;
        LONG error = ERROR_SUCCESS;
        std::optional<KeyId> key = KeyOf(hKey, &error);
        if (!key)
            return error;
        sim::KeyInfo info = sim::MachineRegistry().Info(*key);
        EmptyClass(lpClass, lpcchClass);
        SetIfGiven(lpcSubKeys, info.subkeys);
        SetIfGiven(lpcbMaxSubKeyLen, info.maxSubkeyName);
        SetIfGiven(lpcbMaxClassLen, 0);
        SetIfGiven(lpcValues, info.values);
        SetIfGiven(lpcbMaxValueNameLen, info.maxValueName);
        SetIfGiven(lpcbMaxValueLen, info.maxValueData);
        SetIfGiven(lpcbSecurityDescriptor, 0); // 9x keeps no security
        ZeroTime(lpftLastWriteTime);
        return ERROR_SUCCESS;
    });
}

// Windows 98 deletes the whole subtree; NT refuses a key that has subkeys.
LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    return sim::ErrorResultCall("RegDeleteKeyA", [&]() -> LONG {
        if (lpSubKey == nullptr)
            return ERROR_INVALID_PARAMETER;
        LONG error = ERROR_SUCCESS;
        std::optional<RegPath> path = SubkeyPath(hKey, lpSubKey, &error);
        if (!path)
            return error;
        if (path->components.empty())
            return ERROR_ACCESS_DENIED; // a root cannot be deleted
        if (!sim::MachineRegistry().Delete(*path))
            return ERROR_FILE_NOT_FOUND;
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    return sim::ErrorResultCall("RegDeleteValueA", [&]() -> LONG {
        LONG error = ERROR_SUCCESS;
        std::optional<KeyId> key = KeyOf(hKey, &error);
        if (!key)
            return error;
        if (!sim::MachineRegistry().DeleteValue(*key, ValueName(lpValueName)))
            return ERROR_FILE_NOT_FOUND;
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    return sim::ErrorResultCall("RegCloseKey", [&]() -> LONG {
        if (IsPredefinedRoot(hKey))
            return ERROR_SUCCESS;
        // A handle whose key was deleted still closes.
        return Handles().keys.erase(HandleValue(hKey)) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    });
}

} // extern "C"

namespace sim {

unsigned OpenKeyHandleCount() {
    sim::MachineLock lock;
    return static_cast<unsigned>(Handles().keys.size());
}

} // namespace sim
