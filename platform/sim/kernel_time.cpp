// KERNEL32 dates: the local time and FILETIME conversions. The machine's time zone is the
// host's.
#include "platform/sim/simulated_call.h"
#include "platform/win32api.h"

#include <chrono>
#include <cstdint>
#include <ctime>

namespace {

constexpr uint64_t kTicksPerSecond = 10000000ULL;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

uint64_t Ticks(const FILETIME& time) {
    return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// The host's offset from UTC, in seconds, at the given Unix time.
int64_t LocalOffset(int64_t unixSeconds) {
    time_t at = static_cast<time_t>(unixSeconds);
    struct tm local {};
    localtime_r(&at, &local);
    return local.tm_gmtoff;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int* year, unsigned* month, unsigned* day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    *day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    *month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    *year = static_cast<int>(yearOfEra + era * 400 + (*month <= 2 ? 1 : 0));
}

SYSTEMTIME FromTicks(uint64_t ticks) {
    const int64_t seconds = static_cast<int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        days -= 1;
    }
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days, &year, &month, &day);
    SYSTEMTIME out{};
    out.wYear = static_cast<WORD>(year);
    out.wMonth = static_cast<WORD>(month);
    out.wDay = static_cast<WORD>(day);
    out.wDayOfWeek = static_cast<WORD>((days % 7 + 11) % 7); // 1970-01-01 was a Thursday
    out.wHour = static_cast<WORD>(rest / 3600);
    out.wMinute = static_cast<WORD>(rest / 60 % 60);
    out.wSecond = static_cast<WORD>(rest % 60);
    out.wMilliseconds = static_cast<WORD>(ticks / 10000 % 1000);
    return out;
}

} // namespace

extern "C" {

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    using namespace std::chrono;
    const int64_t micros =
        duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    const int64_t local = micros / 1000000 + LocalOffset(micros / 1000000);
    const uint64_t ticks = static_cast<uint64_t>(local + kSecondsFrom1601To1970) * kTicksPerSecond +
                           static_cast<uint64_t>(micros % 1000000) * 10;
    *lpSystemTime = FromTicks(ticks);
}

// The conversions touch no machine state: the machine lock is not taken.
BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
    return sim::SimulatedCall<BOOL>(
        {"FileTimeToLocalFileTime", sim::OnSuccess::LeavesLastError, FALSE, sim::Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            if (lpFileTime == nullptr || lpLocalFileTime == nullptr)
                return sim::Fail(ERROR_INVALID_PARAMETER);
            const uint64_t ticks = Ticks(*lpFileTime);
            const int64_t unixSeconds =
                static_cast<int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
            const uint64_t local =
                ticks + static_cast<uint64_t>(LocalOffset(unixSeconds) *
                                              static_cast<int64_t>(kTicksPerSecond));
            *lpLocalFileTime = {static_cast<DWORD>(local), static_cast<DWORD>(local >> 32)};
            return TRUE;
        });
}

BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
    return sim::SimulatedCall<BOOL>(
        {"FileTimeToSystemTime", sim::OnSuccess::LeavesLastError, FALSE, sim::Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            // Times from the year 30828 on have no SYSTEMTIME.
            if (lpFileTime == nullptr || lpSystemTime == nullptr ||
                (lpFileTime->dwHighDateTime & 0x80000000UL) != 0)
                return sim::Fail(ERROR_INVALID_PARAMETER);
            *lpSystemTime = FromTicks(Ticks(*lpFileTime));
            return TRUE;
        });
}

} // extern "C"
