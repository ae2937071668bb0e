// Two device events at once: nothing on Windows 98 orders the helpers the device installer
// starts, so two real helper processes run together on one machine directory, round after
// round, and each time the machine must end as one of the two runs one after the other leaves
// it: the same registry, wininit.ini's RENAME entries, files and started programs.
#include "platform/sim/control/simctl.h"
#include "support/machine_directory.h"
#include "support/registry_lines.h"
#include "platform/sim/control/wininit_ctl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = fs::path(VTX_FIXTURES_DIR) / "removal";
constexpr int kRounds = 25;

const std::string kInstallAB12 = "-action=2 -model=Draftaire K9 -serial=AB12";
const std::string kInstallCD34 = "-action=2 -model=Draftaire K9 -serial=CD34";
const std::string kRemoveAB12 = "-action=64 -model=Draftaire K9 -serial=AB12";
const std::string kRemoveCD34 = "-action=64 -model=Draftaire K9 -serial=CD34";

struct MachineState {
    std::set<std::string> registry;
    std::vector<std::string> renames;
    std::vector<std::string> files;
    std::multiset<std::string> started;
    bool operator==(const MachineState&) const = default;
};

MachineState Capture() {
    MachineState state{vtxtest::RegistryLines(), vtxsim::RenameEntries(), vtxsim::FileTree(), {}};
    for (const vtxsim::ProcessStart& start : vtxsim::ProcessJournal())
        state.started.insert(start.commandLine);
    return state;
}

// What a difference lost, in a line a reader can act on.
std::string Describe(const MachineState& expected, const MachineState& actual) {
    std::string text;
    for (const std::string& line : expected.registry) {
        if (!actual.registry.count(line))
            text += "\n  registry lacks " + line;
    }
    for (const std::string& line : actual.registry) {
        if (!expected.registry.count(line))
            text += "\n  registry also holds " + line;
    }
    if (expected.renames != actual.renames)
        text += "\n  RENAME holds " + std::to_string(actual.renames.size()) + " entries, not " +
                std::to_string(expected.renames.size());
    if (expected.files != actual.files)
        text += "\n  the files differ";
    if (expected.started != actual.started)
        text += "\n  the started programs differ";
    return text;
}

class ConcurrentHelpers : public ::testing::TestWithParam<vtxsim::EnumerationOrder> {
  protected:
    // Two K9 printers of one type, their drivers installed, the clock held still.
    void FreshMachine() {
        vtxsim::ResetMachine();
        vtxsim::SetEnumerationOrder(GetParam());
        vtxsim::ImportReg(kFixtures / "two_devices_one_type.reg");
        for (const char* path :
             {"C:\\Windows\\System32\\DRIVERS\\vtxubd01.sys",
              "C:\\Windows\\System32\\DRIVERS\\vtxiod01.sys", "C:\\Windows\\System\\vtxcls01.dll",
              "C:\\Windows\\System\\vtxpmo01.dll", "C:\\Windows\\System\\vtxinh01.exe",
              "C:\\Windows\\System\\VMM32\\vtxvxu01.dll", "C:\\Windows\\Inf\\Other\\OEM0.INF",
              "C:\\Program Files\\Kelvara\\Setup\\vtxsetup.exe"})
            vtxsim::PutFile(path, std::string("contents of ") + path);
        vtxsim::SetTickCount(1234567);
    }

    vtxsim::HelperProcess Start(const std::string& options) {
        return vtxsim::StartHelper(VTX_HELPER_EXE, machine_.Path(),
                                   "C:\\WINDOWS\\SYSTEM\\VTXINH01.EXE " + options);
    }

    static void ExpectRan(const vtxsim::HelperRun& run) {
        EXPECT_EQ(run.failure, "");
        EXPECT_EQ(run.exitCode, 0);
    }

    MachineState OneAfterTheOther(const std::string& first, const std::string& second) {
        FreshMachine();
        ExpectRan(vtxsim::WaitHelper(Start(first)));
        ExpectRan(vtxsim::WaitHelper(Start(second)));
        return Capture();
    }

    // Runs a and b together kRounds times; each result must be one of the two serial ones.
    void ExpectLikeOneAfterTheOther(const std::string& a, const std::string& b) {
        const MachineState ab = OneAfterTheOther(a, b);
        const MachineState ba = OneAfterTheOther(b, a);
        int differing = 0;
        std::string first;
        for (int round = 0; round < kRounds; ++round) {
            FreshMachine();
            vtxsim::HelperProcess one;
            vtxsim::HelperProcess two;
            {
                vtxsim::HeldMachine together;
                one = Start(a);
                two = Start(b);
            }
            ExpectRan(vtxsim::WaitHelper(one));
            ExpectRan(vtxsim::WaitHelper(two));
            MachineState together = Capture();
            if (together == ab || together == ba)
                continue;
            if (differing++ == 0)
                first = Describe(ab, together);
        }
        EXPECT_EQ(differing, 0) << "of " << kRounds << " rounds of \"" << a << "\" with \"" << b
                                << "\" at once; the first, against the one after the other:"
                                << first;
    }

  private:
    vtxtest::MachineDirectory machine_; // the helpers see the machine through it
};

TEST_P(ConcurrentHelpers, TwoInstallsAtOnceEndAsOneAfterTheOther) {
    ExpectLikeOneAfterTheOther(kInstallAB12, kInstallCD34);
}

TEST_P(ConcurrentHelpers, TwoRemovalsAtOnceEndAsOneAfterTheOther) {
    ExpectLikeOneAfterTheOther(kRemoveAB12, kRemoveCD34);
}

TEST_P(ConcurrentHelpers, AnInstallAndARemovalAtOnceEndAsOneAfterTheOther) {
    ExpectLikeOneAfterTheOther(kInstallAB12, kRemoveCD34);
}

INSTANTIATE_TEST_SUITE_P(EitherOrder, ConcurrentHelpers,
                         ::testing::ValuesIn(vtxsim::kEnumerationOrders), [](const auto& info) {
                             return std::string(vtxsim::EnumerationOrderName(info.param));
                         });

} // namespace
