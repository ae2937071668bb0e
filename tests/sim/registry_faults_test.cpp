// Injected failures of the registry functions: each fails with the injected code and changes
// nothing.
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/registry_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr LONG kInjected = ERROR_CANTWRITE;

class RegistryFaults : public vtxtest::MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        vtxsim::ImportRegText("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Faults\\Sub]\n"
                              "\"Value\"=\"kept\"\n");
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Faults", 0, KEY_ALL_ACCESS, &key_),
                  0);
        before_ = vtxsim::ExportRegistry();
    }
    void TearDown() override {
        MachineTest::TearDown();
        EXPECT_EQ(RegCloseKey(key_), 0);
    }

    HKEY key_ = nullptr;
    std::string before_;
};

TEST_F(RegistryFaults, EveryFunctionFailsWithTheInjectedCodeAndChangesNothing) {
    HKEY result = nullptr;
    char name[32];
    DWORD chars = sizeof name;
    DWORD size = 0;
    const BYTE data[] = {1, 2};
    const std::vector<std::pair<std::string, std::function<LONG()>>> calls = {
        {"RegOpenKeyExA", [&] { return RegOpenKeyExA(key_, "Sub", 0, KEY_ALL_ACCESS, &result); }},
        {"RegCreateKeyA", [&] { return RegCreateKeyA(key_, "New", &result); }},
        {"RegQueryValueExA",
         [&] { return RegQueryValueExA(key_, "x", nullptr, nullptr, nullptr, &size); }},
        {"RegSetValueExA", [&] { return RegSetValueExA(key_, "x", 0, REG_BINARY, data, 2); }},
        {"RegEnumKeyExA",
         [&] { return RegEnumKeyExA(key_, 0, name, &chars, nullptr, nullptr, nullptr, nullptr); }},
        {"RegEnumValueA",
         [&] { return RegEnumValueA(key_, 0, name, &chars, nullptr, nullptr, nullptr, nullptr); }},
        {"RegQueryInfoKeyA",
         [&] {
             return RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, &size, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr);
         }},
        {"RegDeleteKeyA", [&] { return RegDeleteKeyA(key_, "Sub"); }},
        {"RegDeleteValueA", [&] { return RegDeleteValueA(key_, "x"); }},
    };
    for (const auto& [function, call] : calls) {
        SCOPED_TRACE(function);
        vtxsim::ClearFailures();
        vtxsim::FailCall(function, 1, kInjected);
        result = nullptr;
        size = 0xDEADBEEF;
        unsigned handles = vtxsim::OpenKeyHandleCount();
        EXPECT_EQ(call(), kInjected);
        EXPECT_EQ(vtxsim::CallCount(function), 1u);
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(size, 0xDEADBEEF);
        EXPECT_EQ(vtxsim::OpenKeyHandleCount(), handles);
        EXPECT_EQ(vtxsim::ExportRegistry(), before_);
    }
    // Only the planned call failed: the next one of the same function works.
    vtxsim::FailCall("RegDeleteKeyA", 1, kInjected);
    EXPECT_EQ(RegDeleteKeyA(key_, "Sub"), kInjected);
    EXPECT_EQ(RegDeleteKeyA(key_, "Sub"), ERROR_SUCCESS);
}

TEST_F(RegistryFaults, AFailedCloseLeavesTheHandleOpen) {
    HKEY sub = nullptr;
    ASSERT_EQ(RegOpenKeyExA(key_, "Sub", 0, KEY_ALL_ACCESS, &sub), 0);
    unsigned open = vtxsim::OpenKeyHandleCount();

    vtxsim::FailCall("RegCloseKey", 1, kInjected);
    EXPECT_EQ(RegCloseKey(sub), kInjected);
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), open);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(sub, "Value", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 5u);

    EXPECT_EQ(RegCloseKey(sub), ERROR_SUCCESS);
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), open - 1);
    EXPECT_EQ(vtxsim::CallCount("RegCloseKey"), 2u);
}

} // namespace
