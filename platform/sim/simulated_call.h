// One simulated Win32 call: what every call shares, so that a call's body says only what is its
// own. A call
//  1. counts as a call of its function and, when a test injected a failure for it (faults.h),
//     fails with that code before doing anything;
//  2. runs its body inside the machine lock, unless it keeps to locks of its own;
//  3. leaves the thread's last error as Windows 98 does for that call.
//
// Windows tells a failure one of two ways. ADVAPI32's registry functions return the error code
// and never touch the last error (ErrorResultCall). Every other call returns a failure value
// (FALSE, NULL, INVALID_HANDLE_VALUE, 0, -1) and puts the code in the last error
// (SimulatedCall); what its success does to the last error Windows decides call by call, and
// each call names it with an OnSuccess. Most leave it: callers read it after a failure only.
// Those whose callers read it after a success too set it there.
//
//   call                                        on success, the last error
//   Reg* (the error is the result)              is left alone
//   ReadFile, WriteFile, DeviceIoControl,       is left alone
//     CloseHandle, GetFileTime
//   CopyFileA, DeleteFileA, GetFileAttributesA, is left alone
//     SetFileAttributesA
//   CreateFileA                                 with CREATE_ALWAYS or OPEN_ALWAYS on a file:
//                                               ERROR_ALREADY_EXISTS if it was there, else 0;
//                                               otherwise left alone
//   GetFileSize                                 is cleared: it tells a size of 0xFFFFFFFF from
//                                               INVALID_FILE_SIZE
//   GetPrivateProfileSectionA,                  is left alone
//     WritePrivateProfileSectionA,
//     WritePrivateProfileStringA
//   GetPrivateProfileStringA                    ERROR_FILE_NOT_FOUND when the default is handed
//                                               out, else left alone
//   CreateMutexA                                ERROR_ALREADY_EXISTS for a named mutex that was
//                                               there, else 0
//   WaitForSingleObject, ReleaseMutex           is left alone
//   GetVersionExA, GlobalAlloc, GlobalFree,     is left alone
//     FileTimeToLocalFileTime,
//     FileTimeToSystemTime, CreateProcessA
//   SetupDi*                                    is cleared: setupapi ends every call by
//                                               setting it
//   USER32's calls                              is left alone (so is it when CreateWindowExA's
//                                               window procedure refuses WM_CREATE)
//   AddMonitorA, DeleteMonitorA, EnumMonitorsA, is left alone
//     EnumPortsA, EnumPrintersA
//   GetFileVersionInfoSizeA,                    is left alone
//     GetFileVersionInfoA
//   VerQueryValueA                              is left alone; its failures set none either
//
// Calls that cannot fail (GetLastError, SetLastError, GetTickCount, Interlocked*, lstr*,
// wsprintfA, the critical sections, GetLocalTime, GetWindowsDirectoryA, GetSystemDirectoryA,
// DisableThreadLibraryCalls, MessageBoxA) touch no last error and are not wrapped.
#pragma once

#include "platform/sim/faults.h"
#include "platform/sim/machine.h"
#include "platform/win32api.h"

#include <optional>
#include <string_view>

namespace sim {

// What a call's success does to the thread's last error.
enum class OnSuccess {
    LeavesLastError, // what the caller had stays
    ClearsLastError, // set to ERROR_SUCCESS
};

// Where a call's body runs. Calls that wait (mutexes, messages), call code that may take the
// machine lock on another thread (window procedures), or do a printer's I/O take the locks they
// need themselves.
enum class Locking {
    Machine, // inside the machine lock
    ByBody,  // the body takes its own
};

// What one call is: its name, for injected failures; its rule for the last error; what it
// returns when it fails; where its body runs.
template <class T> struct CallRule {
    std::string_view function;
    OnSuccess onSuccess;
    T failed;
    Locking locking = Locking::Machine;
};

// A failure with its Win32 error code.
struct Failure {
    DWORD error;
};

constexpr Failure Fail(DWORD error) {
    return Failure{error};
}

// A success that sets the last error to a code of its own, whatever the call's OnSuccess
// (ERROR_ALREADY_EXISTS from CreateMutexA for a mutex that was there).
template <class T> struct SuccessSetting {
    T value;
    DWORD lastError;
};

template <class T> constexpr SuccessSetting<T> SucceedSetting(T value, DWORD lastError) {
    return SuccessSetting<T>{value, lastError};
}

// How a call ended, as far as the last error goes.
struct CallEnding {
    bool failed = false;
    DWORD error = 0;                // a failure's code
    std::optional<DWORD> lastError; // set by a success of its own
};

// Sets the thread's last error as a call ends, by the call's rule.
void EndCall(OnSuccess onSuccess, const CallEnding& ending);

// What a call's body gives back: the call's result, a Failure, or a SuccessSetting.
template <class T> class CallResult {
  public:
    CallResult(T value) : value_(value) {}
    CallResult(Failure failure) : ending_{true, failure.error, std::nullopt} {}
    CallResult(SuccessSetting<T> success)
        : value_(success.value), ending_{false, 0, success.lastError} {}

    bool Failed() const { return ending_.failed; }
    T Value() const { return value_; }
    const CallEnding& Ending() const { return ending_; }

  private:
    T value_{};
    CallEnding ending_;
};

// TRUE when error is 0, else a failure with it: for a body whose work ends in an error code.
inline CallResult<BOOL> TrueOrFail(DWORD error) {
    if (error != 0)
        return Fail(error);
    return TRUE;
}

// Holds the machine lock for a body that runs inside it.
class CallLock {
  public:
    explicit CallLock(Locking locking);

  private:
    std::optional<MachineLock> lock_;
};

// Runs a call that returns rule.failed on failure and tells why in the last error. The body
// returns a CallResult<T>.
template <class T, class Body> T SimulatedCall(const CallRule<T>& rule, Body&& body) {
    if (DWORD injected = InjectedFailure(rule.function)) {
        EndCall(rule.onSuccess, CallEnding{true, injected, std::nullopt});
        return rule.failed;
    }
    CallResult<T> result = [&] {
        CallLock lock(rule.locking);
        return CallResult<T>(body());
    }();
    EndCall(rule.onSuccess, result.Ending());
    return result.Failed() ? rule.failed : result.Value();
}

// Runs a call whose result is its error code, ERROR_SUCCESS on success, and which never touches
// the last error: ADVAPI32's registry functions. The body runs inside the machine lock and
// returns the code.
template <class Body> LONG ErrorResultCall(std::string_view function, Body&& body) {
    if (DWORD injected = InjectedFailure(function))
        return static_cast<LONG>(injected);
    CallLock lock(Locking::Machine);
    return body();
}

} // namespace sim
