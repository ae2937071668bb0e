#include "platform/sim/handles.h"
#include "platform/sim/faults.h"

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

namespace {

BOOL Finish(DWORD error) {
    SetLastError(error);
    return error == 0 ? TRUE : FALSE;
}

} // namespace

extern "C" {

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD count, LPDWORD lpRead, LPOVERLAPPED) {
    if (lpRead != nullptr)
        *lpRead = 0;
    if (DWORD injected = sim::InjectedFailure("ReadFile"))
        return Finish(injected);
    std::shared_ptr<sim::KernelObject> object = sim::FindHandle(hFile);
    if (!object)
        return Finish(ERROR_INVALID_HANDLE);
    DWORD done = 0;
    DWORD error = object->Read(lpBuffer, count, &done);
    if (lpRead != nullptr)
        *lpRead = done;
    if (error == 0)
        return TRUE; // a successful call leaves the last error alone
    return Finish(error);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD count, LPDWORD lpWritten,
                      LPOVERLAPPED) {
    if (lpWritten != nullptr)
        *lpWritten = 0;
    if (DWORD injected = sim::InjectedFailure("WriteFile"))
        return Finish(injected);
    std::shared_ptr<sim::KernelObject> object = sim::FindHandle(hFile);
    if (!object)
        return Finish(ERROR_INVALID_HANDLE);
    DWORD done = 0;
    DWORD error = object->Write(lpBuffer, count, &done);
    if (lpWritten != nullptr)
        *lpWritten = done;
    if (error == 0)
        return TRUE;
    return Finish(error);
}

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                            DWORD outSize, LPDWORD returned, LPOVERLAPPED) {
    if (returned != nullptr)
        *returned = 0;
    if (DWORD injected = sim::InjectedFailure("DeviceIoControl"))
        return Finish(injected);
    std::shared_ptr<sim::KernelObject> object = sim::FindHandle(hDevice);
    if (!object)
        return Finish(ERROR_INVALID_HANDLE);
    DWORD count = 0;
    DWORD error = object->IoControl(code, in, inSize, out, outSize, &count);
    if (returned != nullptr)
        *returned = count;
    if (error == 0)
        return TRUE;
    return Finish(error);
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (DWORD injected = sim::InjectedFailure("CloseHandle"))
        return Finish(injected);
    if (!sim::RemoveHandle(hObject))
        return Finish(ERROR_INVALID_HANDLE);
    return TRUE;
}

} // extern "C"
