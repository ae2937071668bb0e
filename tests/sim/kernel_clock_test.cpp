// The machine clock behind GetTickCount and the machine settings: fixed and advanced by
// tests, wrapping at 2^32, counting from the machine's boot, and seen by every process of
// a persistent machine.
#include "platform/sim/settings.h"
#include "platform/sim/control/kernel_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/win32api.h"
#include "support/machine_directory.h"
#include "support/machine_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class MachineClock : public vtxtest::MachineTest {};

TEST_F(MachineClock, AFixedClockStaysUntilAdvancedAndWrapsAt32Bits) {
    vtxsim::SetTickCount(1234567);
    EXPECT_EQ(GetTickCount(), 1234567u);
    EXPECT_EQ(GetTickCount(), 1234567u);
    vtxsim::AdvanceTickCount(10000);
    EXPECT_EQ(GetTickCount(), 1244567u);
    vtxsim::SetTickCount(0xFFFFFF00u);
    vtxsim::AdvanceTickCount(0x180);
    EXPECT_EQ(GetTickCount(), 0x80u);
}

TEST_F(MachineClock, TheRunningClockCountsFromTheMachinesBootAndCanBeMovedOn) {
    DWORD first = GetTickCount();
    EXPECT_LT(first, 600000u) << "a fresh machine has just booted";
    vtxsim::AdvanceTickCount(5000000);
    DWORD later = GetTickCount();
    EXPECT_GE(later - first, 5000000u);
    EXPECT_LT(later - first, 5600000u);
    vtxsim::SetTickCount(42);
    vtxsim::RunClockFromBoot();
    EXPECT_GE(GetTickCount(), later);
}

TEST_F(MachineClock, SettingsOfAPersistentMachineReachAnotherProcessAndBack) {
    vtxtest::MachineDirectory machine;
    const std::filesystem::path& dir = machine.Path();
    vtxsim::ResetMachine();
    vtxsim::SetTickCount(0xFFFFFFF0u);
    vtxsim::SetWindowsVersion(vtxsim::WindowsVersion::WinMe);
    vtxsim::SetShellRunning(false);

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        vtxsim::UseMachine(dir); // read everything anew from the machine directory
        bool seen = GetTickCount() == 0xFFFFFFF0u &&
                    sim::CurrentWindowsVersion() == sim::WindowsVersion::WinMe &&
                    !sim::ShellRunning();
        vtxsim::AdvanceTickCount(0x20);
        vtxsim::SetShellRunning(true);
        std::_Exit(seen ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(GetTickCount(), 0x10u) << "the child's advance, wrapped";
    EXPECT_TRUE(sim::ShellRunning());
    EXPECT_EQ(sim::CurrentWindowsVersion(), sim::WindowsVersion::WinMe);
}

} // namespace
