// A window's life as a program without a visible window lives it: WM_CREATE inside
// CreateWindowExA, WM_DESTROY inside DestroyWindow, the quit message ending the loop; and
// FindWindowA's view of the shell.
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/kernel_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/window_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"
#include "support/markers.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using vtxsim::WindowEventKind;

using vtxtest::kMarker;
constexpr int kExitCode = 7;

// What the procedure saw of its WM_CREATE.
struct Creation {
    bool seen = false;
    std::string className;
    std::string windowName;
    LPVOID param = nullptr;
    int cx = -1;
};
Creation created;
LRESULT createResult = 0;

LRESULT CALLBACK TestProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        // A class given by its atom is no text.
        bool byAtom = reinterpret_cast<uintptr_t>(create->lpszClass) < 0x10000;
        created = {true, byAtom ? "#atom" : create->lpszClass, create->lpszName,
                   create->lpCreateParams, create->cx};
        return createResult;
    }
    case WM_DESTROY:
        PostQuitMessage(kExitCode);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

ATOM Register(const char* name) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = TestProc;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass);
}

HWND Create(const char* className, LPVOID param = nullptr) {
    return CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, param);
}

std::vector<WindowEventKind> Kinds() {
    std::vector<WindowEventKind> kinds;
    for (const vtxsim::WindowEvent& event : vtxsim::WindowEvents())
        kinds.push_back(event.kind);
    return kinds;
}

class WindowLifecycle : public vtxtest::MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        created = {};
        createResult = 0;
    }
};

TEST_F(WindowLifecycle, CreationAndDestructionRunInsideTheCallsAndTheQuitMessageEndsTheLoop) {
    ASSERT_NE(Register("Vtxcls01Class"), 0);
    int param = 0;
    HWND hwnd = Create("VTXCLS01CLASS", &param);
    ASSERT_NE(hwnd, nullptr);
    // WM_CREATE has been handled before the call returned.
    EXPECT_TRUE(created.seen);
    EXPECT_EQ(created.className, "VTXCLS01CLASS");
    EXPECT_EQ(created.windowName, "");
    EXPECT_EQ(created.param, &param);
    EXPECT_EQ(created.cx, 0);
    EXPECT_EQ(Kinds(), (std::vector<WindowEventKind>{WindowEventKind::ClassRegistered,
                                                     WindowEventKind::WindowCreated,
                                                     WindowEventKind::MessageSent}));
    EXPECT_NE(vtxsim::WindowEvents()[0].windowClass.hCursor, nullptr);

    EXPECT_FALSE(ShowWindow(hwnd, SW_HIDE)); // it was not visible
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER, 1, 2));
    ASSERT_TRUE(DestroyWindow(hwnd));
    std::vector<vtxsim::WindowEvent> events = vtxsim::WindowEvents();
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[3].kind, WindowEventKind::WindowShown);
    EXPECT_EQ(events[4].kind, WindowEventKind::MessagePosted);
    EXPECT_EQ(events[5].kind, WindowEventKind::MessageSent);
    EXPECT_EQ(events[5].message, static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(events[6].kind, WindowEventKind::QuitPosted);
    EXPECT_EQ(events[7].kind, WindowEventKind::WindowDestroyed);
    EXPECT_EQ(vtxsim::LiveWindowCount(), 0u);

    // The message posted before the quit comes first; then WM_QUIT ends the loop.
    MSG msg{};
    std::vector<UINT> loop;
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
        loop.push_back(msg.message);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    EXPECT_EQ(got, FALSE);
    EXPECT_EQ(loop, std::vector<UINT>{WM_USER});
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(kExitCode));

    // Nothing is left and nothing could post: Windows would wait forever; the simulator says so.
    testing::internal::CaptureStderr();
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("wait here forever"), std::string::npos);
}

TEST_F(WindowLifecycle, MinusOneFromCreateDestroysTheWindowAndCreationFails) {
    ASSERT_NE(Register("Vtxcls01Class"), 0);
    createResult = -1;
    EXPECT_EQ(Create("Vtxcls01Class"), nullptr);
    std::vector<vtxsim::WindowEvent> events = vtxsim::WindowEvents();
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[2].message, static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(events[2].result, -1);
    EXPECT_EQ(events[3].message, static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(events[4].kind, WindowEventKind::QuitPosted);
    EXPECT_EQ(events[5].kind, WindowEventKind::WindowDestroyed);
    EXPECT_EQ(vtxsim::LiveWindowCount(), 0u);
    EXPECT_EQ(FindWindowA("Vtxcls01Class", nullptr), nullptr);
}

TEST_F(WindowLifecycle, BadClassesAndHandlesAreRefusedWithTheirCodes) {
    SetLastError(kMarker);
    EXPECT_EQ(Create("Unregistered"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));

    ATOM atom = Register("Vtxcls01Class");
    ASSERT_NE(atom, 0);
    SetLastError(kMarker);
    EXPECT_EQ(Register("VTXCLS01CLASS"), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    WNDCLASSA noProcedure{};
    noProcedure.lpszClassName = "NoProcedure";
    SetLastError(kMarker);
    EXPECT_EQ(RegisterClassA(&noProcedure), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // The atom names the class as well as its name does.
    HWND hwnd = CreateWindowExA(0, MAKEINTRESOURCEA(atom), "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(DestroyWindow(hwnd));
    SetLastError(kMarker);
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(kMarker);
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), LoadCursorA(nullptr, IDC_ARROW));
    SetLastError(kMarker);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_NE(GetLastError(), kMarker);
}

TEST_F(WindowLifecycle, AMessagePostedFromAnotherThreadWakesTheWaitingLoop) {
    ASSERT_NE(Register("Vtxcls01Class"), 0);
    HWND hwnd = Create("Vtxcls01Class");
    ASSERT_NE(hwnd, nullptr);
    std::thread poster([hwnd] {
        PostMessageA(hwnd, WM_USER + 1, 3, 4);
        // Only the window's own thread may destroy it.
        SetLastError(kMarker);
        EXPECT_FALSE(DestroyWindow(hwnd));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    });
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    poster.join();
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_EQ(vtxsim::WindowEvents().back().kind, WindowEventKind::MessageDispatched);
    EXPECT_TRUE(DestroyWindow(hwnd));
}

TEST_F(WindowLifecycle, ProgmanIsFoundOnlyWhileTheShellRunsAndOtherClassesAmongOwnWindows) {
    vtxsim::SetShellRunning(false);
    EXPECT_EQ(FindWindowA("Progman", nullptr), nullptr);
    vtxsim::SetShellRunning(true);
    HWND shell = FindWindowA("Progman", nullptr);
    EXPECT_NE(shell, nullptr);
    EXPECT_EQ(FindWindowA("PROGMAN", "Program Manager"), shell);
    vtxsim::SetShellRunning(false);
    EXPECT_EQ(FindWindowA("Progman", nullptr), nullptr);

    ASSERT_NE(Register("Vtxcls01Class"), 0);
    EXPECT_EQ(FindWindowA("Vtxcls01Class", nullptr), nullptr);
    HWND hwnd = Create("Vtxcls01Class");
    EXPECT_EQ(FindWindowA("vtxcls01class", nullptr), hwnd);
    EXPECT_EQ(FindWindowA("Vtxcls01Class", "Some title"), nullptr);
    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(FindWindowA("Vtxcls01Class", nullptr), nullptr);
}

} // namespace
