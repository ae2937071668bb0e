// SETUPAPI: device interface lists, interface details and the interface registry key.
//
// NOTES
// - A device information list is a snapshot taken by SetupDiGetClassDevsA; interfaces added or
//   deleted afterwards show only in a new list.
// - Like Windows' setupapi, every call ends by setting the last error, to 0 on success
//   (OnSuccess::ClearsLastError).
// - The interface records of 32-bit Windows are packed: SP_DEVICE_INTERFACE_DETAIL_DATA_A's
//   cbSize must be 5 there. Other hosts check the record's natural size, as 64-bit Windows
//   does.
#include "platform/sim/case_folding.h"
#include "platform/sim/devices.h"
#include "platform/sim/machine.h"
#include "platform/sim/live_counts.h"
#include "platform/sim/simulated_call.h"

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>

namespace sim {
namespace {

constexpr DWORD kDetailRecordSize =
    sizeof(void*) == 4 ? 5 : static_cast<DWORD>(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
constexpr DWORD kDevicePathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

struct ListedInterface {
    InterfaceRecord record;
    bool active = false; // its device was attached when the list was made
    DWORD devInst = 0;   // the device's number within the list, from 1
};

struct DeviceInfoList {
    std::vector<ListedInterface> interfaces;
};

struct ListTable {
    std::mutex mutex;
    std::map<uintptr_t, std::shared_ptr<const DeviceInfoList>> lists;
    uintptr_t next = 0xD1000;
};

ListTable& Lists() {
    static ListTable* table = new ListTable; // never destroyed: used until exit
    return *table;
}

HDEVINFO AddList(std::shared_ptr<const DeviceInfoList> list) {
    ListTable& t = Lists();
    std::lock_guard guard(t.mutex);
    uintptr_t value = t.next;
    t.next += 8; // never reused, so a destroyed list's handle stays invalid
    t.lists[value] = std::move(list);
    return reinterpret_cast<HDEVINFO>(value);
}

std::shared_ptr<const DeviceInfoList> FindList(HDEVINFO set) {
    ListTable& t = Lists();
    std::lock_guard guard(t.mutex);
    auto it = t.lists.find(reinterpret_cast<uintptr_t>(set));
    return it == t.lists.end() ? nullptr : it->second;
}

bool RemoveList(HDEVINFO set) {
    ListTable& t = Lists();
    std::lock_guard guard(t.mutex);
    return t.lists.erase(reinterpret_cast<uintptr_t>(set)) > 0;
}

// With DIGCF_DEVICEINTERFACE the enumerator may be an enumerator ("USB") or a device instance.
bool MatchesEnumerator(const std::string& instance, PCSTR enumerator) {
    if (enumerator == nullptr || *enumerator == '\0')
        return true;
    std::string_view wanted(enumerator);
    if (!StartsWithAscii(instance, wanted))
        return false;
    return instance.size() == wanted.size() || instance[wanted.size()] == '\\';
}

std::shared_ptr<DeviceInfoList> MakeList(const GUID* interfaceClass, PCSTR enumerator,
                                         DWORD flags) {
    auto list = std::make_shared<DeviceInfoList>();
    // Without DIGCF_DEVICEINTERFACE the GUID is a setup class; the simulated printers belong
    // to none that the machine lists, so such a list is empty.
    if ((flags & DIGCF_DEVICEINTERFACE) == 0)
        return list;
    std::map<std::string, DWORD> devices;
    for (InterfaceRecord& record :
         ListInterfaces((flags & DIGCF_ALLCLASSES) != 0 ? nullptr : interfaceClass)) {
        if (!MatchesEnumerator(record.deviceInstance, enumerator))
            continue;
        bool active = DeviceAttached(record.deviceInstance);
        if ((flags & DIGCF_PRESENT) != 0 && !active)
            continue;
        std::string device = UpperAscii(record.deviceInstance);
        DWORD devInst =
            devices.emplace(device, static_cast<DWORD>(devices.size() + 1)).first->second;
        list->interfaces.push_back(ListedInterface{std::move(record), active, devInst});
    }
    return list;
}

// The interface that SetupDiEnumDeviceInterfaces put into data, or *error.
const ListedInterface* InterfaceOf(const DeviceInfoList& list, const SP_DEVICE_INTERFACE_DATA* data,
                                   DWORD* error) {
    if (data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        *error = ERROR_INVALID_USER_BUFFER;
        return nullptr;
    }
    if (data->Reserved == 0 || data->Reserved > list.interfaces.size()) {
        *error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    return &list.interfaces[data->Reserved - 1];
}

// The interface a call on one listed interface names, with the list that holds it, or the
// error the call fails with: a bad list or interface record.
struct NamedInterface {
    std::shared_ptr<const DeviceInfoList> list; // keeps entry alive
    const ListedInterface* entry = nullptr;
    DWORD error = 0;
};

NamedInterface FindInterface(HDEVINFO set, const SP_DEVICE_INTERFACE_DATA* data) {
    NamedInterface named;
    named.list = FindList(set);
    if (!named.list) {
        named.error = ERROR_INVALID_HANDLE;
        return named;
    }
    named.entry = InterfaceOf(*named.list, data, &named.error);
    return named;
}

void FillDeviceInfo(const ListedInterface& entry, SP_DEVINFO_DATA* info) {
    info->ClassGuid = GUID{}; // the simulated printers' setup class has no GUID of its own
    info->DevInst = entry.devInst;
    info->Reserved = 0;
}

} // namespace

unsigned OpenDeviceInfoListCount() {
    sim::ListTable& t = sim::Lists();
    std::lock_guard guard(t.mutex);
    return static_cast<unsigned>(t.lists.size());
}

} // namespace sim

using sim::Locking;
using sim::OnSuccess;

extern "C" {

// The list is made inside the machine lock: one consistent view of the registry and devices.
HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND, DWORD Flags) {
    return sim::SimulatedCall<HDEVINFO>(
        {"SetupDiGetClassDevsA", OnSuccess::ClearsLastError, INVALID_HANDLE_VALUE},
        [&]() -> sim::CallResult<HDEVINFO> {
            if (ClassGuid == nullptr && (Flags & DIGCF_ALLCLASSES) == 0)
                return sim::Fail(ERROR_INVALID_PARAMETER);
            return sim::AddList(sim::MakeList(ClassGuid, Enumerator, Flags));
        });
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    return sim::SimulatedCall<BOOL>(
        {"SetupDiEnumDeviceInterfaces", OnSuccess::ClearsLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            std::shared_ptr<const sim::DeviceInfoList> list = sim::FindList(DeviceInfoSet);
            if (!list)
                return sim::Fail(ERROR_INVALID_HANDLE);
            if (DeviceInterfaceData == nullptr ||
                DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
                return sim::Fail(ERROR_INVALID_USER_BUFFER);
            if (DeviceInfoData != nullptr && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
                return sim::Fail(ERROR_INVALID_USER_BUFFER);
            if (InterfaceClassGuid == nullptr)
                return sim::Fail(ERROR_INVALID_PARAMETER);
            DWORD seen = 0;
            for (size_t i = 0; i < list->interfaces.size(); ++i) {
                const sim::ListedInterface& entry = list->interfaces[i];
                if (!sim::SameGuid(entry.record.interfaceClass, *InterfaceClassGuid))
                    continue;
                if (DeviceInfoData != nullptr && DeviceInfoData->DevInst != entry.devInst)
                    continue;
                if (seen++ != MemberIndex)
                    continue;
                DeviceInterfaceData->InterfaceClassGuid = entry.record.interfaceClass;
                DeviceInterfaceData->Flags = entry.active ? SPINT_ACTIVE : 0;
                DeviceInterfaceData->Reserved = i + 1;
                return TRUE;
            }
            return sim::Fail(ERROR_NO_MORE_ITEMS);
        });
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
    DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData) {
    return sim::SimulatedCall<BOOL>(
        {"SetupDiGetDeviceInterfaceDetailA", OnSuccess::ClearsLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            sim::NamedInterface named = sim::FindInterface(DeviceInfoSet, DeviceInterfaceData);
            if (named.entry == nullptr)
                return sim::Fail(named.error);
            const sim::ListedInterface* entry = named.entry;
            if (DeviceInterfaceDetailData != nullptr) {
                if (DeviceInterfaceDetailData->cbSize != sim::kDetailRecordSize ||
                    DeviceInterfaceDetailDataSize < sim::kDevicePathOffset + 1)
                    return sim::Fail(ERROR_INVALID_USER_BUFFER);
            } else if (DeviceInterfaceDetailDataSize != 0) {
                return sim::Fail(ERROR_INVALID_USER_BUFFER);
            }
            if (DeviceInfoData != nullptr && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
                return sim::Fail(ERROR_INVALID_USER_BUFFER);
            const std::string& path = entry->record.devicePath;
            DWORD needed = sim::kDevicePathOffset + static_cast<DWORD>(path.size()) + 1;
            if (RequiredSize != nullptr)
                *RequiredSize = needed;
            if (DeviceInterfaceDetailDataSize < needed)
                return sim::Fail(ERROR_INSUFFICIENT_BUFFER);
            char* out = DeviceInterfaceDetailData->DevicePath;
            path.copy(out, path.size());
            out[path.size()] = '\0';
            if (DeviceInfoData != nullptr)
                sim::FillDeviceInfo(*entry, DeviceInfoData);
            return TRUE;
        });
}

HKEY WINAPI SetupDiOpenDeviceInterfaceRegKey(HDEVINFO DeviceInfoSet,
                                             PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData, DWORD,
                                             REGSAM samDesired) {
    return sim::SimulatedCall<HKEY>(
        {"SetupDiOpenDeviceInterfaceRegKey", OnSuccess::ClearsLastError,
         static_cast<HKEY>(INVALID_HANDLE_VALUE)},
        [&]() -> sim::CallResult<HKEY> {
            sim::NamedInterface named = sim::FindInterface(DeviceInfoSet, DeviceInterfaceData);
            if (named.entry == nullptr)
                return sim::Fail(named.error);
            std::string path = named.entry->record.keyPath + "\\" + sim::kInterfaceParametersSubkey;
            HKEY key = nullptr;
            LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, samDesired, &key);
            if (result != ERROR_SUCCESS)
                return sim::Fail(static_cast<DWORD>(result));
            return key;
        });
}

HKEY WINAPI SetupDiCreateDeviceInterfaceRegKeyA(HDEVINFO DeviceInfoSet,
                                                PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                                DWORD, REGSAM, HINF InfHandle, PCSTR) {
    return sim::SimulatedCall<HKEY>(
        {"SetupDiCreateDeviceInterfaceRegKeyA", OnSuccess::ClearsLastError,
         static_cast<HKEY>(INVALID_HANDLE_VALUE)},
        [&]() -> sim::CallResult<HKEY> {
            sim::NamedInterface named = sim::FindInterface(DeviceInfoSet, DeviceInterfaceData);
            if (named.entry == nullptr)
                return sim::Fail(named.error);
            if (InfHandle != nullptr)
                return sim::Fail(ERROR_INVALID_PARAMETER); // the machine has no INF files to run
            // Only an interface that still exists gets a key: creating the whole path would
            // bring a deleted interface back as a key without "DeviceInstance".
            HKEY interfaceKey = nullptr;
            LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, named.entry->record.keyPath.c_str(), 0,
                                        KEY_ALL_ACCESS, &interfaceKey);
            if (result != ERROR_SUCCESS)
                return sim::Fail(static_cast<DWORD>(result));
            HKEY key = nullptr;
            result = RegCreateKeyA(interfaceKey, sim::kInterfaceParametersSubkey, &key);
            RegCloseKey(interfaceKey);
            if (result != ERROR_SUCCESS)
                return sim::Fail(static_cast<DWORD>(result));
            return key;
        });
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    return sim::SimulatedCall<BOOL>(
        {"SetupDiDestroyDeviceInfoList", OnSuccess::ClearsLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            if (!sim::RemoveList(DeviceInfoSet))
                return sim::Fail(ERROR_INVALID_HANDLE);
            return TRUE;
        });
}

} // extern "C"
