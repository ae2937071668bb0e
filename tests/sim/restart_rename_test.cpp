// A restart of the simulated machine: the "RENAME" section of wininit.ini carried out in its
// order, duplicates included, then the RunOnce values started once and removed.
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/process_ctl.h"
#include "platform/sim/control/registry_ctl.h"
#include "platform/sim/control/restart_ctl.h"
#include "support/machine_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using vtxsim::RestartStepKind;

const std::string kHelper = "C:\\WINDOWS\\SYSTEM\\vtxinh01.exe";
const std::string kCopy = "C:\\WINDOWS\\SYSTEM\\01234567.ex_";
const std::string kRunOnce = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

std::vector<RestartStepKind> Kinds(const std::vector<vtxsim::RestartStep>& steps) {
    std::vector<RestartStepKind> kinds;
    for (const vtxsim::RestartStep& step : steps)
        kinds.push_back(step.kind);
    return kinds;
}

class RestartTest : public vtxtest::MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        vtxsim::PutFile(kHelper, "old helper");
        vtxsim::PutFile(kCopy, "new helper");
    }
};

TEST_F(RestartTest, EntriesRunInTheirOrderSoAMoveThenADeleteOfOneFileLeavesNothing) {
    vtxsim::PutFile("C:\\WINDOWS\\wininit.ini",
                    "[Rename]\r\n" + kHelper + "=" + kCopy + "\r\nNUL=" + kHelper + "\r\n");
    std::vector<vtxsim::RestartStep> steps = vtxsim::RestartMachine();
    EXPECT_EQ(Kinds(steps),
              (std::vector<RestartStepKind>{RestartStepKind::Moved, RestartStepKind::Deleted,
                                            RestartStepKind::SectionRemoved}));
    EXPECT_FALSE(vtxsim::FileExists(kHelper));
    EXPECT_FALSE(vtxsim::FileExists(kCopy));
}

TEST_F(RestartTest, ADeleteThenAMoveLeavesTheMovedFileAndTheFileBecomesWininitBak) {
    std::string ini = "[RENAME]\r\nNUL=" + kHelper + "\r\n" + kHelper + "=" + kCopy + "\r\n";
    vtxsim::PutFile("C:\\WINDOWS\\wininit.ini", ini);
    std::vector<vtxsim::RestartStep> steps = vtxsim::RestartMachine();
    ASSERT_EQ(Kinds(steps),
              (std::vector<RestartStepKind>{RestartStepKind::Deleted, RestartStepKind::Moved,
                                            RestartStepKind::SectionRemoved}));
    EXPECT_EQ(steps[1].path, kHelper);
    EXPECT_EQ(steps[1].source, kCopy);
    EXPECT_EQ(vtxsim::GetFileContents(kHelper), "new helper");
    EXPECT_FALSE(vtxsim::FileExists(kCopy));
    EXPECT_FALSE(vtxsim::FileExists("C:\\WINDOWS\\wininit.ini"));
    EXPECT_EQ(vtxsim::GetFileContents("C:\\WINDOWS\\WININIT.BAK"), ini);

    // The section is gone: a second restart does nothing.
    EXPECT_TRUE(vtxsim::RestartMachine().empty());
    EXPECT_EQ(vtxsim::GetFileContents(kHelper), "new helper");
}

TEST_F(RestartTest, DuplicateKeysEachTakeEffectAndMissingSourcesAreSkipped) {
    vtxsim::PutFile("C:\\WINDOWS\\SYSTEM\\02345678.ex_", "newest helper");
    vtxsim::PutFile("C:\\WINDOWS\\SYSTEM\\keep.dll", "kept");
    vtxsim::PutFile("C:\\WINDOWS\\wininit.ini",
                    "[Other]\n"
                    "NUL=C:\\WINDOWS\\SYSTEM\\keep.dll\n"
                    "[rename]\n"
                    "; a comment\n" +
                        kHelper + "=" + kCopy + "\n" + kHelper +
                        "=C:\\WINDOWS\\SYSTEM\\02345678.ex_\n"
                        "C:\\WINDOWS\\SYSTEM\\keep.dll=C:\\WINDOWS\\SYSTEM\\gone.ex_\n"
                        "NUL=C:\\WINDOWS\\SYSTEM\\never-there.dll\n");
    std::vector<vtxsim::RestartStep> steps = vtxsim::RestartMachine();
    EXPECT_EQ(Kinds(steps),
              (std::vector<RestartStepKind>{RestartStepKind::Moved, RestartStepKind::Moved,
                                            RestartStepKind::Skipped, RestartStepKind::Skipped,
                                            RestartStepKind::SectionRemoved}));
    EXPECT_EQ(vtxsim::GetFileContents(kHelper), "newest helper");
    EXPECT_EQ(vtxsim::GetFileContents("C:\\WINDOWS\\SYSTEM\\keep.dll"), "kept");
    EXPECT_EQ(steps[2].detail, "source missing");
}

TEST_F(RestartTest, RunOnceValuesAreStartedOnceAndRemoved) {
    vtxsim::PutFile("D:\\Setup\\start.exe", "the maker's program");
    vtxsim::SetStringValue(kRunOnce, "RunOnce", "D:\\Setup\\start.exe -vtregistry=K9\\AB12");
    vtxsim::SetStringValue(kRunOnce, "Gone", "C:\\nothing.exe");
    std::vector<vtxsim::RestartStep> steps = vtxsim::RestartMachine();
    ASSERT_EQ(Kinds(steps),
              (std::vector<RestartStepKind>{RestartStepKind::RunOnce, RestartStepKind::RunOnce}));
    EXPECT_EQ(steps[0].path, "RunOnce");

    std::vector<vtxsim::ProcessStart> journal = vtxsim::ProcessJournal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].source, "RunOnce");
    EXPECT_EQ(journal[0].application, "D:\\Setup\\start.exe");
    EXPECT_EQ(journal[0].commandLine, "D:\\Setup\\start.exe -vtregistry=K9\\AB12");
    EXPECT_TRUE(journal[0].started);
    EXPECT_FALSE(journal[1].started);
    EXPECT_TRUE(vtxsim::KeyExists(kRunOnce));
    EXPECT_TRUE(vtxsim::ValueNames(kRunOnce).empty());

    EXPECT_TRUE(vtxsim::RestartMachine().empty());
    EXPECT_EQ(vtxsim::ProcessJournal().size(), 2u);
}

} // namespace
