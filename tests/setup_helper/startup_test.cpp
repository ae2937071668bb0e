// Start-up: the command line's three options, the model key path, the platform test and the
// hidden window whose creation runs the action.
#include "common/model_remainder.h"
#include "helper_fixture.h"

#include <string>
#include <vector>

namespace {

using helper_test::HelperTest;
using helper_test::SetText;

class StartupTest : public HelperTest {};

// The three options as "<action>|<model>|<serial>".
std::string Parse(const std::string& text) {
    helper_test::ResetHelperState();
    ParseCommandLine(text.c_str());
    return std::to_string(ActionCode) + "|" + DeviceModel + "|" + DeviceSerial;
}

TEST_F(StartupTest, OptionsAreFoundInAnyOrderEachWithItsOwnValueRule) {
    EXPECT_EQ(Parse("-action=2 -model=Draftaire K9 -serial=AB12"), "2|Draftaire K9|AB12");
    EXPECT_EQ(Parse("-serial=AB12 -model=Draftaire K9 -action=64"), "64|Draftaire K9|AB12");
    // Only one trailing space goes; the model ends at a '-', the serial at a space.
    EXPECT_EQ(Parse("-model=Draftaire K9  -serial=AB12 x"), "0|Draftaire K9 |AB12");
    EXPECT_EQ(Parse("-model=Draftaire K9-X"), "0|Draftaire K9|");
    // The action is read like atol.
    EXPECT_EQ(Parse("-action=abc"), "0||");
    EXPECT_EQ(Parse("-action=64x"), "64||");
    // Missing or misspelled (the options are case-sensitive): start values.
    EXPECT_EQ(Parse("nothing to see"), "0||");
    EXPECT_EQ(Parse("-Action=2 -Model=Draftaire K9 -SERIAL=AB12"), "0||");
}

TEST_F(StartupTest, ModelRemainderIsASpanOverTheFamilyWordCharacters) {
    auto keyPath = [](const std::string& model) {
        CHAR out[HELPER_TEXT_SIZE];
        std::memset(out, 'M', sizeof(out));
        BuildModelKeyPath(out, model.c_str());
        return std::string(out);
    };
    EXPECT_EQ(keyPath("Draftaire K9"), "Software\\Kelvara\\VTXIO\\K9");
    EXPECT_EQ(keyPath("Draftaire tide 2"), "Software\\Kelvara\\VTXIO\\de 2");
    EXPECT_EQ(keyPath("K9"), "Software\\Kelvara\\VTXIO\\K9");

    // No remainder, or one that names no key: no path, never "...\VTXIO" itself.
    for (const char* model : {"Draftaire", "", "Draftaire ", "tDraftaire ", "Draftaire \\\\"}) {
        EXPECT_EQ(ModelRemainderOf(model), nullptr) << model;
        EXPECT_EQ(keyPath(model), "") << model;
    }
    EXPECT_STREQ(ModelRemainderOf("Draftaire K9"), "K9");

    // A remainder that does not fit beside "Software\Kelvara\VTXIO\" is refused, not cut.
    std::string longModel = "Draftaire " + std::string(240, 'K');
    EXPECT_EQ(keyPath(longModel), "");
    std::string fitting = "Draftaire " + std::string(259 - 23, 'K');
    EXPECT_EQ(keyPath(fitting).size(), 259u);
}

TEST_F(StartupTest, TheHiddenWindowRunsTheActionAndTheProgramExitsWithZero) {
    CHAR commandLine[] = "-action=0 -model=Draftaire K9 -serial=AB12";
    ErrorCode = 55;
    DialogCode = 55;
    AbortFlag = 55;
    EXPECT_EQ(WinMain(nullptr, nullptr, commandLine, SW_SHOWNORMAL), 0);
    EXPECT_EQ(ErrorCode, 0);
    EXPECT_EQ(DialogCode, 55); // not reset: only its load value counts
    EXPECT_EQ(AbortFlag, 0);
    EXPECT_STREQ(CommandLineCopy, commandLine);
    EXPECT_STREQ(ModelKeyPath, "Software\\Kelvara\\VTXIO\\K9");

    auto events = vtxsim::WindowEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().kind, vtxsim::WindowEventKind::ClassRegistered);
    EXPECT_EQ(events.front().className, "Vtxcls01Class");
    const WNDCLASSA& windowClass = events.front().windowClass;
    EXPECT_EQ(windowClass.lpfnWndProc, &HelperWindowProc);
    EXPECT_EQ(windowClass.style, 0u);
    EXPECT_EQ(windowClass.cbClsExtra, 0);
    EXPECT_EQ(windowClass.cbWndExtra, 0);
    EXPECT_EQ(windowClass.hIcon, nullptr);
    EXPECT_EQ(windowClass.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(windowClass.hbrBackground, nullptr);
    EXPECT_EQ(events.front().menuName, "");
    // Created, the action inside WM_CREATE, hidden, destroyed, and the quit message posted.
    std::vector<std::string> trail;
    for (const auto& event : events) {
        using Kind = vtxsim::WindowEventKind;
        if (event.kind == Kind::WindowCreated) {
            trail.push_back("created");
            EXPECT_EQ(event.className, "Vtxcls01Class");
            EXPECT_EQ(event.windowName, "");
            EXPECT_EQ(event.exStyle, 0u);
            EXPECT_EQ(event.style, 0u);
            EXPECT_EQ(event.x + event.y + event.width + event.height, 0);
            EXPECT_EQ(event.parent, nullptr);
            EXPECT_EQ(event.menu, nullptr);
            EXPECT_EQ(event.param, nullptr);
        } else if (event.kind == Kind::MessageSent && event.message == WM_CREATE)
            trail.push_back("WM_CREATE=" + std::to_string(event.result));
        else if (event.kind == Kind::WindowShown)
            trail.push_back("shown " + std::to_string(event.wParam));
        else if (event.kind == Kind::MessageSent && event.message == WM_DESTROY)
            trail.push_back("WM_DESTROY");
        else if (event.kind == Kind::QuitPosted)
            trail.push_back("quit " + std::to_string(event.wParam));
    }
    EXPECT_EQ(trail, (std::vector<std::string>{"created", "WM_CREATE=0", "shown 0", "WM_DESTROY",
                                               "quit 0"}));
    EXPECT_EQ(vtxsim::LiveWindowCount(), 0u);
}

TEST_F(StartupTest, AnEmptyOrOverLongCommandLineDoesNothing) {
    CHAR empty[] = "";
    EXPECT_EQ(WinMain(nullptr, nullptr, empty, SW_SHOWNORMAL), 0);
    EXPECT_TRUE(vtxsim::WindowEvents().empty());

    // 260 characters do not fit the copy: the whole line is refused rather than cut, so no
    // monitor is registered under a cut serial.
    std::string tooLong = "-action=2 -model=Draftaire K9 -serial=" + std::string(260 - 38, 'S');
    ASSERT_EQ(tooLong.size(), 260u);
    std::vector<CHAR> buffer(tooLong.begin(), tooLong.end());
    buffer.push_back('\0');
    EXPECT_EQ(WinMain(nullptr, nullptr, buffer.data(), SW_SHOWNORMAL), 0);
    EXPECT_TRUE(vtxsim::WindowEvents().empty());
    EXPECT_STREQ(CommandLineCopy, "");
    EXPECT_STREQ(DeviceSerial, "");
    EXPECT_EQ(ActionCode, 0);
}

TEST_F(StartupTest, WindowFailuresAndAFailingMessageLoopEndTheProgramWithZero) {
    CHAR commandLine[] = "-action=64 -model=Draftaire K9 -serial=AB12";
    vtxsim::FailCall("RegisterClassA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(WinMain(nullptr, nullptr, commandLine, SW_SHOWNORMAL), 0);
    vtxsim::FailCall("CreateWindowExA", 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(WinMain(nullptr, nullptr, commandLine, SW_SHOWNORMAL), 0);
    EXPECT_STREQ(ModelKeyPath, ""); // no WM_CREATE: no action
    EXPECT_EQ(vtxsim::CallCount("DeleteMonitorA"), 0u);

    // GetMessageA's -1 ends the loop instead of being taken for a message.
    vtxsim::ResetWindows();
    vtxsim::FailEveryCall("GetMessageA", ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(WinMain(nullptr, nullptr, commandLine, SW_SHOWNORMAL), 0);
    EXPECT_EQ(vtxsim::CallCount("GetMessageA"), 1u);
    EXPECT_EQ(vtxsim::CallCount("DeleteMonitorA"), 1u);
}

TEST_F(StartupTest, OnlyWindows98AndMeAreSupported) {
    struct Case {
        vtxsim::WindowsVersion version;
        BOOL supported;
    };
    for (Case c :
         {Case{vtxsim::WindowsVersion::Win95, FALSE}, Case{vtxsim::WindowsVersion::Win98, TRUE},
          Case{vtxsim::WindowsVersion::WinMe, TRUE}, Case{vtxsim::WindowsVersion::WinNt4, FALSE},
          Case{vtxsim::WindowsVersion::Win2000, FALSE}}) {
        vtxsim::SetWindowsVersion(c.version);
        EXPECT_EQ(IsSupportedPlatform(), c.supported) << static_cast<int>(c.version);
    }
}

TEST_F(StartupTest, AnUnsupportedPlatformReachesTheSetupProgramAsDialogOneErrorOneTwenty) {
    PutSystemFiles();
    WriteSetupValues();
    vtxsim::SetStringValue(helper_test::kModelKey, "PortName1", "USB/Draftaire K9/AB12");
    vtxsim::SetWindowsVersion(vtxsim::WindowsVersion::WinNt4);
    CHAR commandLine[] = "-action=2 -model=Draftaire K9 -serial=AB12";
    EXPECT_EQ(WinMain(nullptr, nullptr, commandLine, SW_SHOWNORMAL), 0);
    auto cmdLine = vtxsim::StringValue(helper_test::kCmdLineKey, "CmdLine");
    ASSERT_TRUE(cmdLine.has_value());
    EXPECT_TRUE(cmdLine->ends_with(" -v dialog=1 -v error=120 -v abort=1")) << *cmdLine;
}

} // namespace
