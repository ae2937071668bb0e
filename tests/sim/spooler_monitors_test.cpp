// AddMonitorA and DeleteMonitorA as the Windows 98 spooler answers them: the instance key with
// its "Driver" value, and the error codes of each refusal.
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/registry_ctl.h"
#include "platform/sim/control/spooler_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"
#include "support/markers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using vtxtest::kMarker;
const std::string kMonitors = "HKLM\\System\\CurrentControlSet\\Control\\Print\\Monitors";

struct Outcome {
    BOOL ok;
    DWORD error;
};

Outcome Add(std::string name, std::string environment = "Windows 4.0",
            std::string dll = "vtxpmo01.dll", DWORD level = 2, const char* server = nullptr) {
    MONITOR_INFO_2A info{name.data(), environment.data(), dll.data()};
    std::string serverName = server != nullptr ? server : "";
    SetLastError(kMarker);
    BOOL ok = AddMonitorA(server != nullptr ? serverName.data() : nullptr, level,
                          reinterpret_cast<LPBYTE>(&info));
    return {ok, GetLastError()};
}

Outcome Delete(std::string name, std::string environment = "Windows 4.0") {
    SetLastError(kMarker);
    BOOL ok = DeleteMonitorA(nullptr, environment.data(), name.data());
    return {ok, GetLastError()};
}

class SpoolerMonitors : public vtxtest::MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        vtxsim::PutFile("C:\\Windows\\System\\vtxpmo01.dll", "monitor");
    }
};

TEST_F(SpoolerMonitors, AMonitorIsAddedOnceWithItsDriverAndASecondAddOfTheNameGives3006) {
    Outcome first = Add("AB12");
    EXPECT_TRUE(first.ok);
    EXPECT_EQ(first.error, kMarker); // success leaves the last error alone
    EXPECT_EQ(vtxsim::StringValue(kMonitors + "\\AB12", "Driver"), "vtxpmo01.dll");
    EXPECT_EQ(vtxsim::MonitorNames(), std::vector<std::string>{"AB12"});

    Outcome again = Add("ab12", "Windows 4.0", "VTXPMO01.DLL");
    EXPECT_FALSE(again.ok);
    EXPECT_EQ(again.error, ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
    EXPECT_EQ(vtxsim::StringValue(kMonitors + "\\AB12", "Driver"), "vtxpmo01.dll");

    // An empty server name is the local machine, and the environment is matched without case.
    EXPECT_TRUE(Add("CD34", "WINDOWS 4.0", "VTXPMO01.DLL", 2, "").ok);
}

TEST_F(SpoolerMonitors, RefusedRecordsGiveTheirCodesAndWriteNothing) {
    Outcome level1 = Add("AB12", "Windows 4.0", "vtxpmo01.dll", 1);
    EXPECT_EQ(level1.ok, FALSE);
    EXPECT_EQ(level1.error, ERROR_INVALID_LEVEL);

    SetLastError(kMarker);
    EXPECT_FALSE(AddMonitorA(nullptr, 2, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    Outcome nt = Add("AB12", "Windows NT x86");
    EXPECT_FALSE(nt.ok);
    EXPECT_EQ(nt.error, ERROR_INVALID_ENVIRONMENT);

    Outcome missingDll = Add("AB12", "Windows 4.0", "vtxnone.dll");
    EXPECT_FALSE(missingDll.ok);
    EXPECT_EQ(missingDll.error, ERROR_MOD_NOT_FOUND);

    Outcome noName = Add("");
    EXPECT_FALSE(noName.ok);
    EXPECT_EQ(noName.error, ERROR_INVALID_PARAMETER);

    // A name is one key: it must not reach into the registry below the Monitors key.
    Outcome nested = Add("AB12\\Nested");
    EXPECT_FALSE(nested.ok);
    EXPECT_EQ(nested.error, ERROR_INVALID_PARAMETER);

    Outcome remote = Add("AB12", "Windows 4.0", "vtxpmo01.dll", 2, "\\\\OTHER");
    EXPECT_FALSE(remote.ok);
    EXPECT_EQ(remote.error, ERROR_INVALID_NAME);

    EXPECT_TRUE(vtxsim::MonitorNames().empty());
}

TEST_F(SpoolerMonitors, DeleteRemovesTheInstanceAndAnUnknownNameGives3000) {
    ASSERT_TRUE(Add("AB12").ok);

    Outcome wrongEnvironment = Delete("AB12", "Windows NT x86");
    EXPECT_FALSE(wrongEnvironment.ok);
    EXPECT_EQ(wrongEnvironment.error, ERROR_INVALID_ENVIRONMENT);
    EXPECT_TRUE(vtxsim::KeyExists(kMonitors + "\\AB12"));

    Outcome deleted = Delete("ab12");
    EXPECT_TRUE(deleted.ok);
    EXPECT_EQ(deleted.error, kMarker);
    EXPECT_FALSE(vtxsim::KeyExists(kMonitors + "\\AB12"));

    Outcome again = Delete("AB12");
    EXPECT_FALSE(again.ok);
    EXPECT_EQ(again.error, ERROR_UNKNOWN_PRINT_MONITOR);

    // The name can be added again once it is gone.
    EXPECT_TRUE(Add("AB12").ok);
}

TEST_F(SpoolerMonitors, AFailureOnTheWayLeavesNoHalfRegisteredInstance) {
    vtxsim::FailCall("AddMonitorA", 1, ERROR_NOT_ENOUGH_MEMORY);
    Outcome injected = Add("AB12");
    EXPECT_FALSE(injected.ok);
    EXPECT_EQ(injected.error, ERROR_NOT_ENOUGH_MEMORY);

    vtxsim::FailCall("RegSetValueExA", 1, ERROR_CANTWRITE);
    Outcome unwritten = Add("AB12");
    EXPECT_FALSE(unwritten.ok);
    EXPECT_EQ(unwritten.error, ERROR_CANTWRITE);
    EXPECT_FALSE(vtxsim::KeyExists(kMonitors + "\\AB12"));

    EXPECT_TRUE(Add("AB12").ok);
}

TEST_F(SpoolerMonitors, ConcurrentAddsOfOneNameLetExactlyOneSucceed) {
    constexpr int kThreads = 8;
    std::atomic<int> succeeded{0};
    std::atomic<int> alreadyThere{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            Outcome outcome = Add("AB12", "Windows 4.0", "vtxpmo01.dll");
            if (outcome.ok)
                ++succeeded;
            else if (outcome.error == ERROR_PRINT_MONITOR_ALREADY_INSTALLED)
                ++alreadyThere;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(succeeded.load(), 1);
    EXPECT_EQ(alreadyThere.load(), kThreads - 1);
}

} // namespace
