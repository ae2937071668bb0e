// Registry values: stored bytes, sizes, enumeration and key information, with the error codes
// of Windows 98. Buffers are pre-filled with a marker to show what a call leaves untouched.
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/registry_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"
#include "support/markers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace {

using vtxtest::kByteMarker;
using vtxtest::kMarker;

class RegistryValues : public vtxtest::MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Values", &key_), 0);
    }
    void TearDown() override {
        EXPECT_EQ(RegCloseKey(key_), 0);
        MachineTest::TearDown();
    }

    void Set(const char* name, DWORD type, std::string_view bytes) {
        ASSERT_EQ(RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }

    HKEY key_ = nullptr;
};

template <size_t N> std::array<BYTE, N> Marked() {
    std::array<BYTE, N> buffer;
    buffer.fill(kByteMarker);
    return buffer;
}

template <size_t N> bool Untouched(const std::array<BYTE, N>& buffer, size_t from = 0) {
    for (size_t i = from; i < N; ++i) {
        if (buffer[i] != kByteMarker)
            return false;
    }
    return true;
}

TEST_F(RegistryValues, QueryReportsMissingValuesAndSizesWithoutTouchingTheBuffer) {
    Set("Name", REG_SZ, std::string_view("ABCDEFG\0", 8));
    auto buffer = Marked<16>();
    DWORD type = kMarker;
    DWORD size = 4;

    EXPECT_EQ(RegQueryValueExA(key_, "Missing", nullptr, &type, buffer.data(), &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, kMarker);
    EXPECT_EQ(RegQueryValueExA(key_, nullptr, nullptr, &type, buffer.data(), &size),
              ERROR_FILE_NOT_FOUND); // no default value was set

    EXPECT_EQ(RegQueryValueExA(key_, "Name", nullptr, &type, buffer.data(), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_TRUE(Untouched(buffer));

    size = kMarker;
    EXPECT_EQ(RegQueryValueExA(key_, "Name", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    EXPECT_TRUE(Untouched(buffer));

    size = 8;
    EXPECT_EQ(RegQueryValueExA(key_, "Name", nullptr, nullptr, buffer.data(), &size), 0);
    EXPECT_EQ(std::memcmp(buffer.data(), "ABCDEFG", 8), 0);
    EXPECT_TRUE(Untouched(buffer, 8));

    EXPECT_EQ(RegQueryValueExA(key_, "Name", nullptr, nullptr, buffer.data(), nullptr),
              ERROR_INVALID_PARAMETER);

    HKEY missingKey = nullptr;
    EXPECT_EQ(RegOpenKeyExA(key_, "NoSuchKey", 0, KEY_READ, &missingKey), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key_, "Missing"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryValues, AValueKeepsExactlyTheBytesItWasGiven) {
    Set("Unterminated", REG_SZ, "abc");
    Set("InnerZero", REG_SZ, std::string_view("a\0b\0", 4));
    Set("Empty", REG_BINARY, "");
    Set(nullptr, REG_SZ, std::string_view("default\0", 8));

    auto buffer = Marked<16>();
    DWORD size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key_, "Unterminated", nullptr, nullptr, buffer.data(), &size), 0);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(std::memcmp(buffer.data(), "abc", 3), 0);
    EXPECT_TRUE(Untouched(buffer, 3)); // no terminator is added

    buffer = Marked<16>();
    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key_, "InnerZero", nullptr, nullptr, buffer.data(), &size), 0);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::memcmp(buffer.data(), "a\0b\0", 4), 0);

    buffer = Marked<16>();
    size = sizeof buffer;
    DWORD type = kMarker;
    ASSERT_EQ(RegQueryValueExA(key_, "Empty", nullptr, &type, buffer.data(), &size), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_TRUE(Untouched(buffer));

    EXPECT_EQ(vtxsim::StringValue("HKLM\\Software\\Values", ""), "default");
    EXPECT_EQ(vtxsim::StringValue("HKLM\\Software\\Values", "InnerZero"), "a");
    EXPECT_EQ(RegDeleteValueA(key_, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(vtxsim::StringValue("HKLM\\Software\\Values", ""), std::nullopt);

    EXPECT_EQ(RegSetValueExA(key_, "NoData", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(vtxsim::RawValue("HKLM\\Software\\Values", "NoData"), std::nullopt);
}

TEST_F(RegistryValues, SubkeysEnumerateInCreationOrderUntilNoMoreItems) {
    for (const char* name : {"Zeta", "alpha", "Middle"}) {
        HKEY sub = nullptr;
        ASSERT_EQ(RegCreateKeyA(key_, name, &sub), 0);
        ASSERT_EQ(RegCloseKey(sub), 0);
    }
    ASSERT_EQ(RegDeleteKeyA(key_, "alpha"), 0);
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyA(key_, "Alpha", &sub), 0);
    ASSERT_EQ(RegCloseKey(sub), 0);

    std::vector<std::string> seen;
    char name[32];
    DWORD index = 0;
    while (true) {
        DWORD chars = sizeof name;
        LONG result =
            RegEnumKeyExA(key_, index++, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS) {
            EXPECT_EQ(result, ERROR_NO_MORE_ITEMS);
            break;
        }
        EXPECT_EQ(chars, std::strlen(name));
        seen.push_back(name);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Zeta", "Middle", "Alpha"}));

    auto small = Marked<6>();
    DWORD chars = 6; // "Middle" needs 7 with its terminator
    EXPECT_EQ(RegEnumKeyExA(key_, 1, reinterpret_cast<char*>(small.data()), &chars, nullptr,
                            nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_TRUE(Untouched(small));
    EXPECT_EQ(chars, 6u);

    char classBuffer[8] = "marker";
    DWORD classChars = sizeof classBuffer;
    FILETIME time{1, 2};
    chars = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key_, 0, name, &chars, nullptr, classBuffer, &classChars, &time), 0);
    EXPECT_STREQ(classBuffer, "");
    EXPECT_EQ(classChars, 0u);
}

TEST_F(RegistryValues, ValuesEnumerateInCreationOrderWithTheirData) {
    Set("First", REG_SZ, std::string_view("one\0", 4));
    Set("Second", REG_DWORD, std::string_view("\x02\0\0\0", 4));
    Set("first", REG_SZ, std::string_view("uno\0", 4)); // replaces, keeps its place

    char name[16];
    DWORD chars = sizeof name;
    DWORD type = 0;
    auto data = Marked<8>();
    DWORD size = sizeof data;
    ASSERT_EQ(RegEnumValueA(key_, 0, name, &chars, nullptr, &type, data.data(), &size), 0);
    EXPECT_STREQ(name, "First");
    EXPECT_EQ(chars, 5u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::memcmp(data.data(), "uno", 4), 0);

    chars = sizeof name;
    size = sizeof data;
    ASSERT_EQ(RegEnumValueA(key_, 1, name, &chars, nullptr, &type, data.data(), &size), 0);
    EXPECT_STREQ(name, "Second");
    chars = sizeof name;
    EXPECT_EQ(RegEnumValueA(key_, 2, name, &chars, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);

    auto smallName = Marked<6>();
    chars = 6; // "Second" needs 7
    EXPECT_EQ(RegEnumValueA(key_, 1, reinterpret_cast<char*>(smallName.data()), &chars, nullptr,
                            nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_TRUE(Untouched(smallName));

    data = Marked<8>();
    std::memset(name, 'x', sizeof name);
    chars = sizeof name;
    size = 3;
    EXPECT_EQ(RegEnumValueA(key_, 0, name, &chars, nullptr, nullptr, data.data(), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_TRUE(Untouched(data));
}

TEST_F(RegistryValues, KeyInformationCountsSubkeysValuesAndLongestNames) {
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyA(key_, "Short", &sub), 0);
    ASSERT_EQ(RegCloseKey(sub), 0);
    ASSERT_EQ(RegCreateKeyA(key_, "LongerName\\Below", &sub), 0);
    ASSERT_EQ(RegCloseKey(sub), 0);
    Set("A", REG_BINARY, "123456");
    Set("LongestValueName", REG_BINARY, "1");

    char classBuffer[8] = "marker";
    DWORD classChars = sizeof classBuffer;
    DWORD subkeys = kMarker, maxSubkey = kMarker, maxClass = kMarker;
    DWORD values = kMarker, maxValueName = kMarker, maxValue = kMarker;
    DWORD security = kMarker;
    FILETIME time{1, 2};
    ASSERT_EQ(RegQueryInfoKeyA(key_, classBuffer, &classChars, nullptr, &subkeys, &maxSubkey,
                               &maxClass, &values, &maxValueName, &maxValue, &security, &time),
              ERROR_SUCCESS);
    EXPECT_STREQ(classBuffer, "");
    EXPECT_EQ(classChars, 0u);
    EXPECT_EQ(subkeys, 2u); // "Below" is not a direct subkey
    EXPECT_EQ(maxSubkey, 10u);
    EXPECT_EQ(maxClass, 0u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxValueName, 16u);
    EXPECT_EQ(maxValue, 6u);

    EXPECT_EQ(RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    subkeys = kMarker;
    ASSERT_EQ(RegQueryInfoKeyA(HKEY_CURRENT_USER, nullptr, nullptr, nullptr, &subkeys, nullptr,
                               nullptr, &values, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(values, 0u);
}

} // namespace
