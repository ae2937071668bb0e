// The helper under every single platform failure of an install and of a removal, run through
// WinMain as the device installer starts it. Whatever fails, the helper ends with 0, closes every
// key it opened, stores only a well-formed CmdLine, keeps every restart entry that was queued
// before it, and a removal deletes nothing that a successful removal keeps.
#include "driver_install/printer_install.h"
#include "platform/sim/control/simctl.h"
#include "setup_helper/helper_fixture.h"
#include "support/fault_sweep.h"
#include "support/registry_lines.h"
#include "platform/sim/control/wininit_ctl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using vtxtest::FaultKind;
using vtxtest::FaultPoint;

constexpr DWORD kErrorTimeout = 1460; // the simulator's report of a wait that would never end
constexpr DWORD kTick = 1234567;
const std::string kSetupDirectory = "C:\\Program Files\\Kelvara\\Setup\\";
// Restart entries of earlier installs and removals still pending.
const std::vector<std::string> kEarlierEntries = {
    "NUL=C:\\Windows\\Temp\\old.tmp",
    "C:\\Windows\\System\\vtxinh01.exe=C:\\Windows\\System\\00000042.ex_"};

const std::vector<FaultKind> kHelperCalls = {
    {"GetVersionExA", ERROR_INVALID_PARAMETER},
    {"LoadCursorA", ERROR_NOT_ENOUGH_MEMORY},
    {"RegisterClassA", ERROR_NOT_ENOUGH_MEMORY},
    {"CreateWindowExA", ERROR_NOT_ENOUGH_MEMORY},
    {"DefWindowProcA", ERROR_NOT_ENOUGH_MEMORY},
    {"ShowWindow", ERROR_NOT_ENOUGH_MEMORY},
    {"DestroyWindow", ERROR_ACCESS_DENIED},
    {"GetMessageA", ERROR_NOT_ENOUGH_MEMORY},
    {"TranslateMessage", ERROR_NOT_ENOUGH_MEMORY},
    {"DispatchMessageA", ERROR_NOT_ENOUGH_MEMORY},
    {"FindWindowA", ERROR_NOT_ENOUGH_MEMORY},
    {"RegOpenKeyExA", ERROR_ACCESS_DENIED},
    {"RegCreateKeyA", ERROR_ACCESS_DENIED},
    {"RegQueryValueExA", ERROR_ACCESS_DENIED},
    {"RegSetValueExA", ERROR_ACCESS_DENIED},
    {"RegEnumKeyExA", ERROR_ACCESS_DENIED},
    {"RegEnumValueA", ERROR_ACCESS_DENIED},
    {"RegQueryInfoKeyA", ERROR_ACCESS_DENIED},
    {"RegDeleteKeyA", ERROR_ACCESS_DENIED},
    {"RegDeleteValueA", ERROR_ACCESS_DENIED},
    {"RegCloseKey", ERROR_INVALID_HANDLE},
    {"GetPrivateProfileSectionA", ERROR_ACCESS_DENIED},
    {"WritePrivateProfileSectionA", ERROR_WRITE_FAULT},
    {"WritePrivateProfileStringA", ERROR_WRITE_FAULT},
    {"CopyFileA", ERROR_WRITE_FAULT},
    {"CreateFileA", ERROR_SHARING_VIOLATION},
    {"CloseHandle", ERROR_INVALID_HANDLE},
    {"GetFileAttributesA", ERROR_ACCESS_DENIED},
    {"SetFileAttributesA", ERROR_ACCESS_DENIED},
    {"DeleteFileA", ERROR_ACCESS_DENIED},
    {"CreateProcessA", ERROR_FILE_NOT_FOUND},
    {"CreateMutexA", ERROR_ACCESS_DENIED},
    {"WaitForSingleObject", ERROR_INVALID_HANDLE},
    {"ReleaseMutex", ERROR_NOT_OWNER},
    {"AddMonitorA", ERROR_ACCESS_DENIED},
    {"DeleteMonitorA", ERROR_ACCESS_DENIED},
};

std::vector<std::string> Missing(const std::set<std::string>& expected,
                                 const std::set<std::string>& actual) {
    std::vector<std::string> missing;
    std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(),
                        std::back_inserter(missing));
    return missing;
}

bool IsDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void SeedRestartEntries() {
    std::string section = "[RENAME]\r\n";
    for (const std::string& entry : kEarlierEntries)
        section += entry + "\r\n";
    vtxsim::PutFile(helper_test::kWininit, section);
}

struct HelperRun {
    std::string commandLine;
    std::vector<vtxsim::PrinterSpec> printers;
    bool shell = false;
    bool monitorRegistered = false;
};

class HelperSweep {
  public:
    explicit HelperSweep(HelperRun run) : run_(std::move(run)) {}

    vtxtest::Scenario Scenario() {
        return {[this] { Prepare(); }, [this] { Run(); }};
    }

    void Prepare() {
        vtxsim::ResetMachine();
        vtxsim::ClearFailures();
        vtxsim::SetWindowsVersion(vtxsim::WindowsVersion::Win98);
        vtxsim::SetTickCount(kTick);
        helper_test::ResetHelperState();
        for (const vtxsim::PrinterSpec& printer : run_.printers)
            vtxsim::InstallPrinter(printer);
        vtxsim::SetShellRunning(run_.shell);
        if (run_.shell)
            vtxsim::PutFile(kSetupDirectory + "launch.ini", "");
        if (run_.monitorRegistered)
            vtxsim::SetStringValue(std::string("HKLM\\") + vtxsim::kMonitorsKeyPath + "\\AB12",
                                   "Driver", "vtxpmo01.dll");
        SeedRestartEntries();
        keys_ = vtxsim::OpenKeyHandleCount();
    }

    void Run() {
        std::vector<CHAR> line(run_.commandLine.begin(), run_.commandLine.end());
        line.push_back('\0');
        SetLastError(ERROR_SUCCESS);
        result_ = WinMain(nullptr, nullptr, line.data(), SW_SHOWNORMAL);
        error_ = GetLastError();
    }

    int Result() const { return result_; }
    DWORD ErrorAfter() const { return error_; }
    unsigned BaselineKeys() const { return keys_; }

  private:
    HelperRun run_;
    unsigned keys_ = 0;
    int result_ = -1;
    DWORD error_ = 0;
};

// " -v abort=<n>" ends it, and it starts with the model's parameters ("-s") or, when those
// could not be read, with the bus type.
void ExpectWellFormedCmdLine() {
    std::optional<std::string> cmdLine = vtxsim::StringValue(helper_test::kCmdLineKey, "CmdLine");
    if (!cmdLine)
        return;
    EXPECT_TRUE(cmdLine->starts_with("-s -v bustype=usb") ||
                cmdLine->starts_with(" -v bustype=usb"))
        << *cmdLine;
    size_t abort = cmdLine->rfind(" -v abort=");
    ASSERT_NE(abort, std::string::npos) << *cmdLine;
    EXPECT_TRUE(IsDigits(cmdLine->substr(abort + 10))) << *cmdLine;
}

void ExpectEarlierEntriesKept() {
    std::vector<std::string> entries = vtxsim::RenameEntries();
    for (const std::string& earlier : kEarlierEntries) {
        EXPECT_NE(std::find(entries.begin(), entries.end(), earlier), entries.end())
            << "lost the restart entry " << earlier;
    }
}

void ExpectSoundEnd(const HelperSweep& sweep, const FaultPoint& point) {
    EXPECT_EQ(sweep.Result(), 0);
    EXPECT_NE(sweep.ErrorAfter(), kErrorTimeout) << "the message loop would wait for ever";
    if (point.function != "RegCloseKey") {
        EXPECT_EQ(vtxsim::OpenKeyHandleCount(), sweep.BaselineKeys()) << "keys left open";
    }
    ExpectWellFormedCmdLine();
    ExpectEarlierEntriesKept();
}

// Sweeps the run; a removal also compares each faulted outcome with the successful one.
void Sweep(const HelperRun& run, bool keepsWhatSuccessKeeps) {
    HelperSweep sweep(run);
    vtxtest::Scenario scenario = sweep.Scenario();
    std::vector<FaultPoint> points = vtxtest::CountFaultPoints(scenario, kHelperCalls);
    ExpectSoundEnd(sweep, {"(none)", 0, 0});
    std::set<std::string> kept = vtxtest::RegistryLines();
    std::vector<std::string> files = vtxsim::FileTree();
    std::set<std::string> keptFiles(files.begin(), files.end());
    ::testing::Test::RecordProperty("runs", static_cast<int>(points.size()));
    ASSERT_GT(points.size(), 10u);
    ASSERT_LT(points.size(), 250u);

    for (const FaultPoint& point : points) {
        SCOPED_TRACE(vtxtest::Describe(point));
        vtxtest::RunWithFault(scenario, point);
        ExpectSoundEnd(sweep, point);
        if (!keepsWhatSuccessKeeps)
            continue;
        for (const std::string& line : Missing(kept, vtxtest::RegistryLines()))
            ADD_FAILURE() << "deleted what a successful removal keeps: " << line;
        files = vtxsim::FileTree();
        for (const std::string& file :
             Missing(keptFiles, std::set<std::string>(files.begin(), files.end())))
            ADD_FAILURE() << "deleted a file a successful removal keeps: " << file;
    }
}

const std::string kInstall = "-action=2 -model=Draftaire K9 -serial=AB12";
const std::string kRemove = "-action=64 -model=Draftaire K9 -serial=AB12";

TEST(HelperFaultSweep, AnInstallWithTheShellRunningSurvivesEverySingleFailure) {
    Sweep({kInstall, {vtxsim::DraftaireK9("AB12")}, true, false}, false);
}

TEST(HelperFaultSweep, RemovingOneOfTwoDevicesOfATypeNeverTakesWhatTheOtherUses) {
    Sweep({kRemove, {vtxsim::DraftaireK9("AB12"), vtxsim::DraftaireK9("CD34")}, false, true}, true);
}

TEST(HelperFaultSweep, RemovingTheLastDeviceOfAModelNeverTakesWhatTheOtherModelUses) {
    Sweep({kRemove, {vtxsim::DraftaireK9("AB12"), vtxsim::DraftaireK7("EF56")}, false, true}, true);
}

TEST(HelperFaultSweep, RemovingTheLastDeviceSurvivesEverySingleFailure) {
    Sweep({kRemove, {vtxsim::DraftaireK9("AB12")}, false, true}, true);
}

} // namespace
