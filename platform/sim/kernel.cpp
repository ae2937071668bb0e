// KERNEL32: last error, clock, version, interlocked operations.
#include "platform/sim/settings.h"
#include "platform/sim/simulated_call.h"
#include "platform/win32api.h"

#include <cstring>

namespace {

thread_local DWORD lastError = 0;

struct VersionRecord {
    DWORD major;
    DWORD minor;
    DWORD build;
    DWORD platform;
    const char* servicePack;
};

VersionRecord RecordFor(sim::WindowsVersion version) {
    switch (version) {
    case sim::WindowsVersion::Win95:
        return {4, 0, 950, VER_PLATFORM_WIN32_WINDOWS, ""};
    case sim::WindowsVersion::Win98:
        return {4, 10, 1998, VER_PLATFORM_WIN32_WINDOWS, ""};
    case sim::WindowsVersion::WinMe:
        return {4, 90, 3000, VER_PLATFORM_WIN32_WINDOWS, ""};
    case sim::WindowsVersion::WinNt4:
        return {4, 0, 1381, VER_PLATFORM_WIN32_NT, "Service Pack 6"};
    case sim::WindowsVersion::Win2000:
        return {5, 0, 2195, VER_PLATFORM_WIN32_NT, "Service Pack 4"};
    }
    return {4, 10, 1998, VER_PLATFORM_WIN32_WINDOWS, ""};
}

} // namespace

extern "C" {

DWORD WINAPI GetLastError(void) {
    return lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    lastError = dwErrCode;
}

DWORD WINAPI GetTickCount(void) {
    return sim::MachineTickCount();
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    return sim::SimulatedCall<BOOL>(
        {"GetVersionExA", sim::OnSuccess::LeavesLastError, FALSE}, [&]() -> sim::CallResult<BOOL> {
            if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
                return sim::Fail(ERROR_INVALID_PARAMETER);
            VersionRecord record = RecordFor(sim::CurrentWindowsVersion());
            info->dwMajorVersion = record.major;
            info->dwMinorVersion = record.minor;
            info->dwBuildNumber = record.build;
            // Windows 9x keeps the major and minor version in the build number's high word.
            if (record.platform == VER_PLATFORM_WIN32_WINDOWS)
                info->dwBuildNumber |= (record.major << 24) | (record.minor << 16);
            info->dwPlatformId = record.platform;
            std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
            std::strncpy(info->szCSDVersion, record.servicePack, sizeof info->szCSDVersion - 1);
            return TRUE;
        });
}

LONG WINAPI InterlockedIncrement(LONG volatile* addend) {
    return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedDecrement(LONG volatile* addend) {
    return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedExchange(LONG volatile* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedCompareExchange(LONG volatile* destination, LONG exchange, LONG comperand) {
    __atomic_compare_exchange_n(destination, &comperand, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return comperand; // the value found, whether or not it was replaced
}

BOOL WINAPI DisableThreadLibraryCalls(HMODULE) {
    return TRUE;
}

} // extern "C"
