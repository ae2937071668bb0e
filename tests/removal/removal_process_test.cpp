// One attach-remove cycle with the helper run as its own process on a machine directory, as the
// device installer starts it: the install's rename entry stands after the removal's deletion.
#include "platform/sim/control/simctl.h"
#include "support/machine_directory.h"
#include "platform/sim/control/wininit_ctl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using vtxsim::RenameEntries;
using vtxtest::MachineDirectory;

const fs::path kFixtures = fs::path(VTX_FIXTURES_DIR) / "removal";
const char* const kHelperFile = "C:\\Windows\\System\\vtxinh01.exe";
const char* const kVmm32File = "C:\\Windows\\System\\VMM32\\vtxvxu01.dll";

// Runs the built helper on the machine with the given options; its exit code, or -1.
int RunHelper(const fs::path& machine, const std::string& options) {
    return vtxsim::RunHelper(VTX_HELPER_EXE, machine, "vtxinh01.exe " + options).exitCode;
}

// What the maker's installation leaves when the printer is attached.
void InstallDriverSet() {
    vtxsim::ImportReg(kFixtures / "one_device.reg");
    for (const char* path :
         {"C:\\Windows\\System32\\DRIVERS\\vtxubd01.sys",
          "C:\\Windows\\System32\\DRIVERS\\vtxiod01.sys", "C:\\Windows\\System\\vtxcls01.dll",
          "C:\\Windows\\System\\vtxpmo01.dll", kHelperFile, kVmm32File,
          "C:\\Windows\\Inf\\Other\\OEM0.INF"})
        vtxsim::PutFile(path, std::string("contents of ") + path);
}

TEST(RemovalProcess, AttachRemoveAttachAsSeparateRunsOfTheHelper) {
    const std::string attach = "-action=2 -model=Draftaire K9 -serial=AB12";
    const std::string remove = "-action=64 -model=Draftaire K9 -serial=AB12";
    const std::string firstCopy = std::string(kHelperFile) + "=C:\\Windows\\System\\01234567.ex_";
    const std::string secondCopy = std::string(kHelperFile) + "=C:\\Windows\\System\\07654321.ex_";
    MachineDirectory machine;
    vtxsim::ResetMachine();
    vtxsim::ImportReg(kFixtures / "neighbours.reg");
    InstallDriverSet();
    vtxsim::SetReadOnly(kHelperFile, true);

    vtxsim::SetTickCount(1234567);
    ASSERT_EQ(RunHelper(machine.Path(), attach), 0);
    EXPECT_EQ(vtxsim::MonitorNames(), std::vector<std::string>{"AB12"});
    EXPECT_TRUE(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTX\\K9\\AB12"));
    EXPECT_EQ(RenameEntries(), std::vector<std::string>{firstCopy});

    ASSERT_EQ(RunHelper(machine.Path(), remove), 0);
    EXPECT_TRUE(vtxsim::MonitorNames().empty());
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Enum\\USB\\VID_0D7A&PID_0042"));
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\System\\CurrentControlSet\\Services\\Vtxiod01"));
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTXIO"));
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTX\\K9"));
    EXPECT_FALSE(vtxsim::FileExists("C:\\Windows\\System\\vtxpmo01.dll"));
    EXPECT_TRUE(vtxsim::FileExists(kHelperFile));
    EXPECT_EQ(RenameEntries(),
              (std::vector<std::string>{firstCopy, "NUL=" + std::string(kHelperFile),
                                        "NUL=" + std::string(kVmm32File)}));

    // Attached again before a restart: the library's deletion is taken back, and the new
    // copy's move stands after the helper's deletion.
    InstallDriverSet();
    vtxsim::SetTickCount(7654321);
    ASSERT_EQ(RunHelper(machine.Path(), attach), 0);
    EXPECT_EQ(RenameEntries(),
              (std::vector<std::string>{firstCopy, "NUL=" + std::string(kHelperFile), secondCopy}));
    vtxsim::RestartMachine();
    EXPECT_EQ(vtxsim::GetFileContents(kHelperFile), std::string("contents of ") + kHelperFile);
    EXPECT_TRUE(vtxsim::FileExists(kVmm32File));
}

} // namespace
