// The install action as a whole: in this process through WinMain, and as the helper's own
// process on a machine directory.
#include "driver_install/printer_install.h"
#include "helper_fixture.h"
#include "support/machine_directory.h"

#include <string>
#include <vector>

namespace {

using helper_test::HelperTest;
using helper_test::kCmdLineKey;
using helper_test::kRunOnceKey;
using helper_test::kWininit;

const std::string kExpectedParameters =
    "-s -v bustype=usb -v port=USB/Draftaire K9/AB12 -v model=Draftaire K9 -v serial=AB12 "
    "-v dialog=0 -v error=0 -v abort=0";
const std::string kExpectedProgram =
    "C:\\Program Files\\Kelvara\\Setup\\vtxsetup.exe -vtregistry=K9\\AB12";

using InstallTest = HelperTest;

TEST_F(InstallTest, ADeviceThatAlreadyHasAPrinterIsLeftAlone) {
    vtxsim::InstallPrinter({});
    ASSERT_TRUE(vtxsim::AddPrinter("Draftaire K9", "USB/Draftaire K9/AB12"));
    vtxsim::SetTickCount(1234567);
    std::string before = vtxsim::ExportRegistry();
    EXPECT_EQ(RunHelper("-action=2 -model=Draftaire K9 -serial=AB12"), 0);
    EXPECT_EQ(vtxsim::ExportRegistry(), before);
    EXPECT_FALSE(vtxsim::FileExists(kWininit));
    EXPECT_TRUE(vtxsim::ProcessJournal().empty());

    // Its printer kept while it was removed as the last of all: the library's deletion is taken
    // back even so, and nothing else changes.
    vtxsim::PutFile(kWininit, "[RENAME]\r\nNUL=C:\\Windows\\System\\vtxinh01.exe\r\n"
                              "NUL=C:\\Windows\\System\\VMM32\\vtxvxu01.dll\r\n");
    vtxsim::ResetWindows(); // a new run: its window class is registered anew
    EXPECT_EQ(RunHelper("-action=2 -model=Draftaire K9 -serial=AB12"), 0);
    EXPECT_EQ(vtxsim::RenameEntries(),
              std::vector<std::string>{"NUL=C:\\Windows\\System\\vtxinh01.exe"});
    EXPECT_EQ(vtxsim::ExportRegistry(), before);
    EXPECT_TRUE(vtxsim::ProcessJournal().empty());
}

TEST_F(InstallTest, MissingSetupValuesStillRegisterAndCopyButLaunchNothing) {
    vtxsim::PrinterSpec spec;
    spec.setupExecFile = "";
    vtxsim::InstallPrinter(spec);
    vtxsim::SetTickCount(1234567);
    EXPECT_EQ(RunHelper("-action=2 -model=Draftaire K9 -serial=AB12"), 0);
    EXPECT_EQ(ErrorCode, 1008);
    EXPECT_EQ(vtxsim::MonitorNames(), std::vector<std::string>{"AB12"});
    EXPECT_TRUE(vtxsim::FileExists("C:\\Windows\\System\\01234567.ex_"));
    EXPECT_FALSE(vtxsim::KeyExists(kCmdLineKey));
    EXPECT_FALSE(vtxsim::KeyExists(kRunOnceKey));
}

TEST_F(InstallTest, AModelWithoutRemainderReadsAndWritesNoModelKeys) {
    vtxsim::InstallPrinter({});
    // The same values one level too high must not be used.
    vtxsim::SetStringValue("HKLM\\Software\\Kelvara\\VTXIO", "SetupRootPath", "D:\\Setup");
    vtxsim::SetStringValue("HKLM\\Software\\Kelvara\\VTXIO", "SetupExecFile", "start.exe");
    vtxsim::SetStringValue("HKLM\\Software\\Kelvara\\VTXIO", "ExecFile", "vtxcls01.dll");
    vtxsim::SetTickCount(1234567);
    EXPECT_EQ(RunHelper("-action=2 -model=Draftaire -serial=AB12"), 0);
    EXPECT_EQ(ErrorCode, 2);
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTX"));
    EXPECT_FALSE(vtxsim::KeyExists(kRunOnceKey));
    auto wininit = vtxsim::GetFileContents(kWininit);
    ASSERT_TRUE(wininit.has_value());
    EXPECT_NE(wininit->find("vtxinh01.exe=C:\\Windows\\System\\01234567.ex_"), std::string::npos)
        << *wininit;
}

class InstallProcessTest : public HelperTest {
  protected:
    // Runs the built helper on the machine directory with exactly this command line.
    int RunHelperProcess(const std::string& commandLine) {
        vtxsim::HelperRun run = vtxsim::RunHelper(VTX_HELPER_EXE, machine_.Path(), commandLine);
        vtxsim::UseMachine(machine_.Path()); // take up what the helper left
        return run.exitCode;
    }

    vtxtest::MachineDirectory machine_; // the helper process sees the machine through it
};

TEST_F(InstallProcessTest, TheHelperInstallsADeviceAsItsOwnProcess) {
    vtxsim::InstallPrinter({});
    vtxsim::SetShellRunning(false);
    vtxsim::SetTickCount(1234567);
    const std::string modelKey = helper_test::kModelKey;
    ASSERT_EQ(vtxsim::StringValue(modelKey, "PortName1"), "USB/Draftaire K9/AB12");

    EXPECT_EQ(RunHelperProcess("C:\\WINDOWS\\SYSTEM\\VTXINH01.EXE -action=2 -model=Draftaire K9 "
                               "-serial=AB12"),
              0);

    EXPECT_EQ(vtxsim::MonitorNames(), std::vector<std::string>{"AB12"});
    EXPECT_EQ(vtxsim::MonitorDriver("AB12"), "vtxpmo01.dll");
    EXPECT_EQ(vtxsim::StringValue(kCmdLineKey, "CmdLine"), kExpectedParameters);
    EXPECT_EQ(vtxsim::StringValue(kRunOnceKey, "RunOnce"), kExpectedProgram);
    EXPECT_TRUE(vtxsim::FileExists("C:\\Windows\\System\\01234567.ex_"));
    auto wininit = vtxsim::GetFileContents(kWininit);
    ASSERT_TRUE(wininit.has_value());
    EXPECT_NE(wininit->find("C:\\Windows\\System\\vtxinh01.exe=C:\\Windows\\System\\01234567.ex_"),
              std::string::npos)
        << *wininit;

    // A second attach of the same device: the monitor exists (3006), which the setup program
    // learns, and a second copy is queued behind the first.
    vtxsim::SetTickCount(1234999);
    EXPECT_EQ(RunHelperProcess("vtxinh01.exe -serial=AB12 -model=Draftaire K9 -action=2"), 0);
    auto cmdLine = vtxsim::StringValue(kCmdLineKey, "CmdLine");
    ASSERT_TRUE(cmdLine.has_value());
    EXPECT_TRUE(cmdLine->ends_with(" -v dialog=2 -v error=3006 -v abort=1")) << *cmdLine;
    wininit = vtxsim::GetFileContents(kWininit);
    ASSERT_TRUE(wininit.has_value());
    EXPECT_LT(wininit->find("01234567.ex_"), wininit->find("01234999.ex_")) << *wininit;

    // At the next start the setup program runs once.
    auto steps = vtxsim::RestartMachine();
    bool ranSetup = false;
    for (const auto& step : steps)
        ranSetup |=
            step.kind == vtxsim::RestartStepKind::RunOnce && step.source == kExpectedProgram;
    EXPECT_TRUE(ranSetup);
    EXPECT_FALSE(vtxsim::StringValue(kRunOnceKey, "RunOnce").has_value());
}

} // namespace
