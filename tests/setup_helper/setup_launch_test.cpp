// Setup launch: "setup.exe" at once when the shell runs and "launch.ini" is there, otherwise the
// setup program queued in RunOnce.
#include "helper_fixture.h"

#include <string>

namespace {

using helper_test::HelperTest;
using helper_test::kRunOnceKey;
using helper_test::SetText;

class SetupLaunchTest : public HelperTest {
  protected:
    void SetUp() override {
        HelperTest::SetUp();
        UseDevice();
        SetText(SetupRoot, "D:\\Setup\\");
        SetText(SetupProgramPath, "D:\\Setup\\start.exe -vtregistry=K9\\AB12");
        vtxsim::PutFile("D:\\setup.exe", "setup");
    }
};

TEST_F(SetupLaunchTest, WithTheShellRunningSetupExeStartsWhenLaunchIniIsThere) {
    vtxsim::SetShellRunning(true);
    vtxsim::PutFile("D:\\Setup\\launch.ini", "");
    LaunchSetup();
    auto journal = vtxsim::ProcessJournal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].source, "CreateProcessA");
    EXPECT_EQ(journal[0].application, "D:\\Setup\\..\\setup.exe");
    EXPECT_EQ(journal[0].commandLine, " -a\"USB\\Draftaire K9\\AB12\" -b\"Draftaire K9\"");
    EXPECT_EQ(journal[0].currentDirectory, "D:\\Setup\\..\\");
    EXPECT_EQ(journal[0].creationFlags, (DWORD)NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(journal[0].startupInfoSize, (DWORD)sizeof(STARTUPINFOA));
    EXPECT_TRUE(journal[0].started);
    EXPECT_FALSE(vtxsim::KeyExists(kRunOnceKey));

    // An empty serial leaves the first option ending in the backslash.
    vtxsim::ClearProcessJournal();
    SetText(DeviceSerial, "");
    LaunchSetup();
    journal = vtxsim::ProcessJournal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].commandLine, " -a\"USB\\Draftaire K9\\\" -b\"Draftaire K9\"");
}

TEST_F(SetupLaunchTest, WithTheShellRunningAndNoLaunchIniNothingHappens) {
    vtxsim::SetShellRunning(true);
    LaunchSetup();
    EXPECT_TRUE(vtxsim::ProcessJournal().empty());
    EXPECT_FALSE(vtxsim::KeyExists(kRunOnceKey));

    // Without a setup directory nothing is looked for relative to the helper's own.
    vtxsim::PutFile("C:\\launch.ini", "");
    vtxsim::PutFile("D:\\Setup\\launch.ini", "");
    SetText(SetupRoot, "");
    LaunchSetup();
    EXPECT_TRUE(vtxsim::ProcessJournal().empty());
}

TEST_F(SetupLaunchTest, WithoutTheShellTheSetupProgramIsQueuedInRunOnce) {
    vtxsim::SetShellRunning(false);
    vtxsim::PutFile("D:\\Setup\\launch.ini", "");
    vtxsim::SetStringValue(kRunOnceKey, "RunOnce", "old");
    vtxsim::SetStringValue(kRunOnceKey, "Other", "kept");
    LaunchSetup();
    EXPECT_TRUE(vtxsim::ProcessJournal().empty());
    EXPECT_EQ(vtxsim::StringValue(kRunOnceKey, "RunOnce"),
              "D:\\Setup\\start.exe -vtregistry=K9\\AB12");
    EXPECT_EQ(vtxsim::StringValue(kRunOnceKey, "Other"), "kept");
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), 0u);

    // An empty program path (one that could not be built whole) is not queued.
    vtxsim::DeleteRegistryKey(kRunOnceKey);
    SetText(SetupProgramPath, "");
    LaunchSetup();
    EXPECT_FALSE(vtxsim::KeyExists(kRunOnceKey));
}

TEST_F(SetupLaunchTest, LaunchTextsThatDoNotFitAreRefusedNotCut) {
    vtxsim::SetShellRunning(true);
    // The model goes twice into the command line: 2 * 130 already exceeds 259.
    SetText(DeviceModel, "Draftaire " + std::string(120, 'M'));
    vtxsim::PutFile("D:\\Setup\\launch.ini", "");
    LaunchSetup();
    EXPECT_TRUE(vtxsim::ProcessJournal().empty());

    // A root that leaves no room for "..\setup.exe".
    std::string root = "D:\\" + std::string(245, 'r') + "\\";
    SetText(DeviceModel, "Draftaire K9");
    SetText(SetupRoot, root);
    vtxsim::PutFile(root + "launch.ini", "");
    LaunchSetup();
    EXPECT_TRUE(vtxsim::ProcessJournal().empty());
}

} // namespace
