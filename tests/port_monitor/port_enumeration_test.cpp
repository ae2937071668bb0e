// EnumPorts: the size negotiation and the layout of the records and their strings. Sizes come
// from sizeof, so that they hold in 64-bit and 32-bit builds alike.
#include "driver_install/printer_install.h"
#include "monitor_fixture.h"

#include <cstring>

namespace monitor_test {
namespace {

constexpr BYTE kFill = 0xCC;

class EnumPortsTest : public MonitorTest {
  protected:
    // Two entries, USB/A/1 and USB/B/22, in that order.
    void StartWithTwoPorts() {
        vtxsim::InstallPrinter(Printer("A", "1"));
        vtxsim::InstallPrinter(Printer("B", "22"));
        StartMonitor();
    }

    BOOL Enum(DWORD level, std::vector<BYTE>& buffer, DWORD size, DWORD* needed,
              DWORD* returned) const {
        return Table().pfnEnumPorts(nullptr, level, buffer.empty() ? nullptr : buffer.data(), size,
                                    needed, returned);
    }
};

TEST_F(EnumPortsTest, LevelOnePacksNamesFromTheEnd) {
    StartWithTwoPorts();
    const DWORD needed = 2 * sizeof(PORT_INFO_1) + 8 + 9;
    if (sizeof(void*) == 4) {
        EXPECT_EQ(needed, 25u);
    }

    std::vector<BYTE> buffer(needed, kFill);
    DWORD got = kMarker;
    DWORD returned = kMarker;
    SetLastError(kMarker);
    EXPECT_FALSE(Enum(1, buffer, needed - 1, &got, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(got, needed);
    EXPECT_EQ(returned, kMarker);
    EXPECT_EQ(buffer, std::vector<BYTE>(needed, kFill));

    ASSERT_TRUE(Enum(1, buffer, needed, &got, &returned));
    EXPECT_EQ(got, needed);
    EXPECT_EQ(returned, 2u);
    PORT_INFO_1 info[2];
    std::memcpy(info, buffer.data(), sizeof(info));
    LPSTR base = reinterpret_cast<LPSTR>(buffer.data());
    EXPECT_EQ(info[0].pName, base + needed - 8);
    EXPECT_EQ(info[1].pName, base + 2 * sizeof(PORT_INFO_1));
    EXPECT_EQ(std::string(base + 2 * sizeof(PORT_INFO_1), 17),
              std::string("USB/B/22\0USB/A/1\0", 17));
}

TEST_F(EnumPortsTest, LevelTwoPacksPortMonitorAndDescriptionPerEntry) {
    StartWithTwoPorts();
    const DWORD needed = 2 * sizeof(PORT_INFO_2) + (7 + 3) + (8 + 3);
    if (sizeof(void*) == 4) {
        EXPECT_EQ(needed, 61u);
    }

    std::vector<BYTE> none;
    DWORD got = kMarker;
    DWORD returned = kMarker;
    EXPECT_FALSE(Enum(2, none, 0, &got, &returned));
    EXPECT_EQ(got, needed);
    std::vector<BYTE> buffer(needed + 4, kFill);
    ASSERT_TRUE(Enum(2, buffer, needed + 4, &got, &returned));
    EXPECT_EQ(got, needed);
    EXPECT_EQ(returned, 2u);
    PORT_INFO_2 info[2];
    std::memcpy(info, buffer.data(), sizeof(info));
    LPSTR end = reinterpret_cast<LPSTR>(buffer.data()) + needed + 4;
    EXPECT_EQ(info[0].pPortName, end - 8);
    EXPECT_EQ(info[0].pMonitorName, end - 9);
    EXPECT_EQ(info[0].pDescription, end - 10);
    EXPECT_EQ(info[1].pPortName, end - 19);
    EXPECT_EQ(info[1].pMonitorName, end - 20);
    EXPECT_EQ(info[1].pDescription, end - 21);
    EXPECT_EQ(std::string(end - 21, 21), std::string("\0\0USB/B/22\0\0\0USB/A/1\0", 21));
    for (const PORT_INFO_2& port : info) {
        EXPECT_EQ(port.fPortType, static_cast<DWORD>(PORT_TYPE_WRITE | PORT_TYPE_READ));
        EXPECT_EQ(port.Reserved, 0u);
    }
    // The slack between the records and the strings is left as it was.
    EXPECT_EQ(buffer[2 * sizeof(PORT_INFO_2)], kFill);
}

TEST_F(EnumPortsTest, LevelsAboveTwoAndBadArgumentsAreRefused) {
    StartWithTwoPorts();
    std::vector<BYTE> buffer(256, kFill);
    DWORD got = kMarker;
    DWORD returned = kMarker;
    SetLastError(kMarker);
    EXPECT_FALSE(Enum(3, buffer, 256, &got, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
    EXPECT_EQ(got, kMarker);
    EXPECT_EQ(returned, kMarker);

    SetLastError(kMarker);
    EXPECT_FALSE(Enum(1, buffer, 256, nullptr, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(Enum(1, buffer, 256, &got, nullptr));
    // A size without a buffer is no room at all.
    std::vector<BYTE> none;
    SetLastError(kMarker);
    EXPECT_FALSE(Enum(1, none, 256, &got, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    // Level 0 counts the entries and writes nothing.
    ASSERT_TRUE(Enum(0, buffer, 256, &got, &returned));
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(returned, 2u);
    EXPECT_EQ(buffer, std::vector<BYTE>(256, kFill));
}

TEST_F(EnumPortsTest, AnEmptyTableNeedsNothing) {
    StartMonitor();
    std::vector<BYTE> none;
    for (DWORD level : {1u, 2u}) {
        DWORD got = kMarker;
        DWORD returned = kMarker;
        EXPECT_TRUE(Enum(level, none, 0, &got, &returned));
        EXPECT_EQ(got, 0u);
        EXPECT_EQ(returned, 0u);
    }
}

} // namespace
} // namespace monitor_test
