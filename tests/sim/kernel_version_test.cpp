// GetVersionExA reports the machine's configured Windows version, and only into a record
// of the size it knows.
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/kernel_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"
#include "support/markers.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using vtxtest::kMarker;

class WindowsVersionQuery : public vtxtest::MachineTest {};

struct Expected {
    vtxsim::WindowsVersion version;
    DWORD major, minor, build, platform;
};

TEST_F(WindowsVersionQuery, EachConfiguredVersionReportsItsNumbers) {
    const Expected table[] = {
        {vtxsim::WindowsVersion::Win95, 4, 0, 950, VER_PLATFORM_WIN32_WINDOWS},
        {vtxsim::WindowsVersion::Win98, 4, 10, 1998, VER_PLATFORM_WIN32_WINDOWS},
        {vtxsim::WindowsVersion::WinMe, 4, 90, 3000, VER_PLATFORM_WIN32_WINDOWS},
        {vtxsim::WindowsVersion::WinNt4, 4, 0, 1381, VER_PLATFORM_WIN32_NT},
        {vtxsim::WindowsVersion::Win2000, 5, 0, 2195, VER_PLATFORM_WIN32_NT},
    };
    for (const Expected& e : table) {
        vtxsim::SetWindowsVersion(e.version);
        OSVERSIONINFOA info;
        std::memset(&info, 0x5A, sizeof info);
        info.dwOSVersionInfoSize = sizeof info;
        ASSERT_TRUE(GetVersionExA(&info));
        EXPECT_EQ(info.dwMajorVersion, e.major);
        EXPECT_EQ(info.dwMinorVersion, e.minor);
        EXPECT_EQ(info.dwBuildNumber & 0xFFFF, e.build);
        EXPECT_EQ(info.dwPlatformId, e.platform);
        // Windows 9x repeats major and minor in the build number's high word.
        DWORD high = e.platform == VER_PLATFORM_WIN32_WINDOWS ? (e.major << 8 | e.minor) : 0;
        EXPECT_EQ(info.dwBuildNumber >> 16, high);
        EXPECT_NE(std::memchr(info.szCSDVersion, '\0', sizeof info.szCSDVersion), nullptr);
    }
}

TEST_F(WindowsVersionQuery, AFreshMachineIsWindows98) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion, 4u);
    EXPECT_EQ(info.dwMinorVersion, 10u);
}

TEST_F(WindowsVersionQuery, ARecordOfAnotherSizeIsRefusedAndLeftAlone) {
    static_assert(sizeof(OSVERSIONINFOA) == 148);
    OSVERSIONINFOA info;
    std::memset(&info, 0x5A, sizeof info);
    info.dwOSVersionInfoSize = 156; // the EX record
    SetLastError(kMarker);
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(info.dwMajorVersion, 0x5A5A5A5Au);

    vtxsim::FailCall("GetVersionExA", 1, ERROR_GEN_FAILURE);
    info.dwOSVersionInfoSize = sizeof info;
    SetLastError(kMarker);
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_GEN_FAILURE});
    EXPECT_EQ(info.dwMajorVersion, 0x5A5A5A5Au);
}

} // namespace
