#include "platform/sim/handles.h"
#include "platform/sim/simulated_call.h"

#include <map>
#include <mutex>

namespace sim {
namespace {

struct HandleTable {
    std::mutex mutex;
    std::map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 0x1000;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable;
    return *table;
}

} // namespace

DWORD KernelObject::Read(void*, DWORD, DWORD* done) {
    if (done != nullptr)
        *done = 0;
    return ERROR_INVALID_FUNCTION;
}

DWORD KernelObject::Write(const void*, DWORD, DWORD* done) {
    if (done != nullptr)
        *done = 0;
    return ERROR_INVALID_FUNCTION;
}

DWORD KernelObject::IoControl(DWORD, const void*, DWORD, void*, DWORD, DWORD* returned) {
    if (returned != nullptr)
        *returned = 0;
    return ERROR_INVALID_FUNCTION;
}

HANDLE AddHandle(std::shared_ptr<KernelObject> object) {
    HandleTable& t = Table();
    std::lock_guard guard(t.mutex);
    uintptr_t value = t.next;
    t.next += 4; // handle values are multiples of 4, as on Windows
    t.objects[value] = std::move(object);
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> FindHandle(HANDLE handle) {
    HandleTable& t = Table();
    std::lock_guard guard(t.mutex);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> object;
    {
        HandleTable& t = Table();
        std::lock_guard guard(t.mutex);
        auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
        if (it == t.objects.end())
            return false;
        object = std::move(it->second);
        t.objects.erase(it);
    }
    object->Close();
    return true;
}

unsigned OpenHandleCount() {
    HandleTable& t = Table();
    std::lock_guard guard(t.mutex);
    return static_cast<unsigned>(t.objects.size());
}

} // namespace sim

using sim::Locking;
using sim::OnSuccess;

extern "C" {

// Handle calls keep to the handle table's lock: a printer's I/O takes the printer's own.
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD count, LPDWORD lpRead, LPOVERLAPPED) {
    if (lpRead != nullptr)
        *lpRead = 0;
    return sim::SimulatedCall<BOOL>(
        {"ReadFile", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            std::shared_ptr<sim::KernelObject> object = sim::FindHandle(hFile);
            if (!object)
                return sim::Fail(ERROR_INVALID_HANDLE);
            DWORD done = 0;
            DWORD error = object->Read(lpBuffer, count, &done);
            if (lpRead != nullptr)
                *lpRead = done;
            return sim::TrueOrFail(error);
        });
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD count, LPDWORD lpWritten,
                      LPOVERLAPPED) {
    if (lpWritten != nullptr)
        *lpWritten = 0;
    return sim::SimulatedCall<BOOL>(
        {"WriteFile", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            std::shared_ptr<sim::KernelObject> object = sim::FindHandle(hFile);
            if (!object)
                return sim::Fail(ERROR_INVALID_HANDLE);
            DWORD done = 0;
            DWORD error = object->Write(lpBuffer, count, &done);
            if (lpWritten != nullptr)
                *lpWritten = done;
            return sim::TrueOrFail(error);
        });
}

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                            DWORD outSize, LPDWORD returned, LPOVERLAPPED) {
    if (returned != nullptr)
        *returned = 0;
    return sim::SimulatedCall<BOOL>(
        {"DeviceIoControl", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            std::shared_ptr<sim::KernelObject> object = sim::FindHandle(hDevice);
            if (!object)
                return sim::Fail(ERROR_INVALID_HANDLE);
            DWORD count = 0;
            DWORD error = object->IoControl(code, in, inSize, out, outSize, &count);
            if (returned != nullptr)
                *returned = count;
            return sim::TrueOrFail(error);
        });
}

// Closing takes whatever lock the object's Close needs.
BOOL WINAPI CloseHandle(HANDLE hObject) {
    return sim::SimulatedCall<BOOL>(
        {"CloseHandle", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            if (!sim::RemoveHandle(hObject))
                return sim::Fail(ERROR_INVALID_HANDLE);
            return TRUE;
        });
}

} // extern "C"
