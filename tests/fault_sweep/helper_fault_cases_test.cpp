// The helper faults the sweeps found, each pinned to its single failure: a window that cannot be
// destroyed, a "RENAME" section that cannot be read, a device type key that cannot be opened.
#include "driver_install/printer_install.h"
#include "platform/sim/control/simctl.h"
#include "setup_helper/helper_fixture.h"
#include "platform/sim/control/wininit_ctl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using helper_test::HelperTest;

constexpr DWORD kErrorTimeout = 1460; // the simulator's report of a wait that would never end
const std::string kStaticConfig = "HKLM\\System\\CurrentControlSet\\Services\\Vtxiod01\\"
                                  "Parameters\\StaticDeviceConfig\\Draftaire K9";
const std::string kService = "HKLM\\System\\CurrentControlSet\\Services\\Vtxiod01";
const std::string kTypeKey = "HKLM\\Enum\\USB\\VID_0D7A&PID_0042";

using HelperFaultCases = HelperTest;

bool QuitWasPosted() {
    for (const vtxsim::WindowEvent& event : vtxsim::WindowEvents()) {
        if (event.kind == vtxsim::WindowEventKind::QuitPosted)
            return true;
    }
    return false;
}

TEST_F(HelperFaultCases, AWindowThatCannotBeDestroyedStillEndsTheMessageLoop) {
    vtxsim::InstallPrinter({});
    vtxsim::FailCall("DestroyWindow", 1, ERROR_ACCESS_DENIED);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(RunHelper("-action=2 -model=Draftaire K9 -serial=AB12"), 0);
    EXPECT_NE(GetLastError(), kErrorTimeout) << "the loop waited for a quit nobody posts";
    EXPECT_TRUE(QuitWasPosted());
    // The action itself ran inside the window creation as usual.
    EXPECT_EQ(vtxsim::MonitorNames(), std::vector<std::string>{"AB12"});
}

TEST_F(HelperFaultCases, AnUnreadableRenameSectionIsNeverOverwrittenByKey) {
    vtxsim::PutFile(helper_test::kWininit, "[RENAME]\r\nNUL=C:\\Windows\\Temp\\old.tmp\r\n");
    vtxsim::FailCall("GetPrivateProfileSectionA", 1, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(AppendRenameEntry("NUL", "C:\\Windows\\System\\vtxinh01.exe"), 1003u);
    EXPECT_EQ(vtxsim::RenameEntries(), std::vector<std::string>{"NUL=C:\\Windows\\Temp\\old.tmp"});

    // An empty read without an error of its own is an empty section or a file not there yet.
    vtxsim::ClearFailures();
    vtxsim::PutFile(helper_test::kWininit, "[Other]\r\nx=1\r\n");
    EXPECT_EQ(AppendRenameEntry("NUL", "C:\\a.dll"), 0u);
    EXPECT_EQ(vtxsim::RenameEntries(), std::vector<std::string>{"NUL=C:\\a.dll"});
    vtxsim::PutFile(helper_test::kWininit, "");
    EXPECT_EQ(AppendRenameEntry("NUL", "C:\\b.dll"), 0u);
    EXPECT_EQ(vtxsim::RenameEntries(), std::vector<std::string>{"NUL=C:\\b.dll"});
}

// The removal reads the type path's subkey count to learn whether the device was the last of its
// type; a key that exists but fails to open is not a missing one.
TEST_F(HelperFaultCases, ATypeKeyThatFailsToOpenKeepsWhatTheOtherDevicesShare) {
    for (unsigned nth = 1; nth <= 6; nth++) {
        SCOPED_TRACE("RegOpenKeyExA #" + std::to_string(nth));
        HelperTest::SetUp();
        vtxsim::InstallPrinter(vtxsim::DraftaireK9("AB12"));
        vtxsim::InstallPrinter(vtxsim::DraftaireK9("CD34"));
        UseDevice();
        vtxsim::FailCall("RegOpenKeyExA", nth, ERROR_ACCESS_DENIED);
        RemoveDevice();
        vtxsim::ClearFailures();
        EXPECT_TRUE(vtxsim::KeyExists(kStaticConfig));
        EXPECT_TRUE(vtxsim::KeyExists(kService));
        EXPECT_TRUE(vtxsim::KeyExists(helper_test::kModelKey));
        EXPECT_TRUE(vtxsim::KeyExists(kTypeKey + "\\CD34"));
        EXPECT_TRUE(vtxsim::FileExists("C:\\Windows\\System\\vtxpmo01.dll"));
    }

    // A type key that is really gone still makes the device the last of its type.
    HelperTest::SetUp();
    vtxsim::InstallPrinter(vtxsim::DraftaireK9("AB12"));
    UseDevice();
    ASSERT_TRUE(vtxsim::DeleteRegistryKey(kTypeKey));
    RemoveDevice();
    EXPECT_FALSE(vtxsim::KeyExists(kStaticConfig));
    EXPECT_FALSE(vtxsim::KeyExists(kService));
}

} // namespace
