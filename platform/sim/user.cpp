// USER32's windows and messages, as far as a program without a visible window needs them.
//
// Notes on the behaviour reproduced here:
// - WM_CREATE reaches the window procedure inside CreateWindowExA; -1 from it destroys the
//   window (WM_DESTROY is sent) and the call returns NULL. WM_NCCREATE is not sent.
// - PostQuitMessage sets the thread's quit flag: GetMessageA returns WM_QUIT only once no
//   posted message is left, as Windows does.
// - Classes belong to the process; the instance handle does not take part in the lookup.
// - Windows would block forever in GetMessageA on an empty queue that nothing can post to; the
//   simulator says so on stderr and returns -1 instead.
// - "Progman" is the shell's window: found while the machine's shell runs.
#include "platform/sim/machine.h"
#include "platform/sim/settings.h"
#include "platform/sim/simulated_call.h"
#include "platform/sim/window_events.h"
#include "platform/sim/case_folding.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using vtxsim::WindowEvent;
using vtxsim::WindowEventKind;

constexpr DWORD kErrorTimeout = 1460;              // ERROR_TIMEOUT
constexpr DWORD kErrorResourceNameNotFound = 1814; // ERROR_RESOURCE_NAME_NOT_FOUND
constexpr UINT kNcCreate = 0x0081;                 // WM_NCCREATE
constexpr uintptr_t kShellWindow = 0x0000047C;     // the running shell's "Progman" window
constexpr uintptr_t kFirstWindow = 0x00010010;
constexpr uintptr_t kWindowStep = 0x10;
constexpr uintptr_t kCursorBase = 0x00020000;
constexpr ATOM kFirstAtom = 0xC000;
// A safety net for a queue that another thread could still post to but never does.
constexpr std::chrono::seconds kPostWaitLimit(10);

struct WindowClass {
    WNDCLASSA fields{}; // string pointers cleared: the caller's memory is not ours
    std::string name;
    ATOM atom = 0;
};

struct Window {
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    HWND parent = nullptr;
    std::thread::id owner;
    bool visible = false;
    bool destroying = false;
};

struct ThreadQueue {
    std::deque<MSG> messages;
    bool quit = false;
    int quitCode = 0;
};

struct UserState {
    std::mutex mutex;
    std::condition_variable posted;
    std::map<std::string, WindowClass> classes; // by name folded to lower case
    std::map<HWND, Window> windows;
    std::map<std::thread::id, ThreadQueue> queues;
    std::vector<WindowEvent> events;
    uintptr_t nextWindow = kFirstWindow;
    ATOM nextAtom = kFirstAtom;
};

UserState& State() {
    static UserState* state = new UserState; // used until exit
    return *state;
}

void ResetState() {
    UserState& s = State();
    std::lock_guard guard(s.mutex);
    s.classes.clear();
    s.windows.clear();
    s.queues.clear();
    s.events.clear();
    s.nextWindow = kFirstWindow;
    s.nextAtom = kFirstAtom;
    s.posted.notify_all();
}

// A fresh machine has no windows either; the state is the process's own and is not saved.
const bool registered = [] {
    sim::AddStore({"windows", nullptr, nullptr, nullptr, ResetState});
    return true;
}();

bool IsAtom(LPCSTR name) {
    return reinterpret_cast<uintptr_t>(name) < 0x10000;
}

std::string MenuName(LPCSTR menu) {
    if (menu == nullptr)
        return {};
    if (IsAtom(menu))
        return "#" + std::to_string(reinterpret_cast<uintptr_t>(menu));
    return menu;
}

WindowClass* FindClass(UserState& s, LPCSTR name) {
    if (name == nullptr)
        return nullptr;
    if (IsAtom(name)) {
        ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (auto& [key, windowClass] : s.classes) {
            if (windowClass.atom == atom)
                return &windowClass;
        }
        return nullptr;
    }
    auto it = s.classes.find(sim::FoldAscii(name));
    return it == s.classes.end() ? nullptr : &it->second;
}

Window* FindWindowRecord(UserState& s, HWND hwnd) {
    auto it = s.windows.find(hwnd);
    return it == s.windows.end() ? nullptr : &it->second;
}

size_t Record(UserState& s, WindowEvent event) {
    s.events.push_back(std::move(event));
    return s.events.size() - 1;
}

WindowEvent MessageEvent(WindowEventKind kind, HWND hwnd, UINT message, WPARAM wParam,
                         LPARAM lParam) {
    WindowEvent event;
    event.kind = kind;
    event.hwnd = hwnd;
    event.message = message;
    event.wParam = wParam;
    event.lParam = lParam;
    return event;
}

// Gives a message to the window's procedure, with no lock held: the procedure may call back
// into the window manager. The event is recorded before the call so events stay in order.
std::optional<LRESULT> CallProcedure(WindowEventKind kind, HWND hwnd, UINT message, WPARAM wParam,
                                     LPARAM lParam) {
    UserState& s = State();
    WNDPROC proc = nullptr;
    size_t index = 0;
    {
        std::lock_guard guard(s.mutex);
        Window* window = FindWindowRecord(s, hwnd);
        if (window == nullptr)
            return std::nullopt;
        proc = window->proc;
        index = Record(s, MessageEvent(kind, hwnd, message, wParam, lParam));
    }
    LRESULT result = proc(hwnd, message, wParam, lParam);
    std::lock_guard guard(s.mutex);
    if (index < s.events.size() && s.events[index].hwnd == hwnd &&
        s.events[index].message == message)
        s.events[index].result = result;
    return result;
}

std::vector<HWND> ChildrenOf(UserState& s, HWND parent) {
    std::vector<HWND> children;
    for (const auto& [hwnd, window] : s.windows) {
        if (window.parent == parent && !window.destroying)
            children.push_back(hwnd);
    }
    return children;
}

// WM_DESTROY to the window, then its children, then the window is gone with the messages
// still queued for it. False when it does not exist.
bool Destroy(HWND hwnd) {
    UserState& s = State();
    {
        std::lock_guard guard(s.mutex);
        Window* window = FindWindowRecord(s, hwnd);
        if (window == nullptr)
            return false;
        if (window->destroying)
            return true; // DestroyWindow from its own WM_DESTROY
        window->destroying = true;
    }
    CallProcedure(WindowEventKind::MessageSent, hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        std::lock_guard guard(s.mutex);
        children = ChildrenOf(s, hwnd);
    }
    for (HWND child : children)
        Destroy(child);
    std::lock_guard guard(s.mutex);
    s.windows.erase(hwnd);
    for (auto& [thread, queue] : s.queues)
        std::erase_if(queue.messages, [hwnd](const MSG& msg) { return msg.hwnd == hwnd; });
    WindowEvent event;
    event.kind = WindowEventKind::WindowDestroyed;
    event.hwnd = hwnd;
    Record(s, event);
    return true;
}

bool MatchesFilter(const MSG& msg, HWND hwnd, UINT first, UINT last) {
    if (hwnd != nullptr && msg.hwnd != hwnd)
        return false;
    if (first == 0 && last == 0)
        return true;
    // WM_QUIT is retrieved whatever the range.
    return msg.message == WM_QUIT || (msg.message >= first && msg.message <= last);
}

unsigned ProcessThreadCount() {
    std::error_code ec;
    unsigned count = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/task", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++count;
    return count;
}

// Whether anything could still post to the calling thread's queue: a window of its own that
// another thread of the process could post to.
bool SomeoneCouldPost(UserState& s) {
    std::thread::id self = std::this_thread::get_id();
    bool ownsWindow = false;
    for (const auto& [hwnd, window] : s.windows) {
        if (window.owner == self && !window.destroying)
            ownsWindow = true;
    }
    return ownsWindow && ProcessThreadCount() > 1;
}

sim::Failure ReportEndlessWait() {
    std::fprintf(stderr,
                 "vtxsim: GetMessageA: the message queue of this thread is empty and nothing "
                 "posts to it; Windows would wait here forever. Returning -1.\n");
    std::fflush(stderr);
    return sim::Fail(kErrorTimeout);
}

// Takes the next message for GetMessageA: 1 a message, 0 WM_QUIT, -1 nothing will come.
int TakeMessage(MSG* msg, HWND hwnd, UINT first, UINT last) {
    UserState& s = State();
    std::unique_lock lock(s.mutex);
    auto deadline = std::chrono::steady_clock::now() + kPostWaitLimit;
    for (;;) {
        ThreadQueue& queue = s.queues[std::this_thread::get_id()];
        for (auto it = queue.messages.begin(); it != queue.messages.end(); ++it) {
            if (MatchesFilter(*it, hwnd, first, last)) {
                *msg = *it;
                queue.messages.erase(it);
                return msg->message == WM_QUIT ? 0 : 1;
            }
        }
        if (queue.quit) {
            queue.quit = false;
            *msg = MSG{};
            msg->message = WM_QUIT;
            msg->wParam = static_cast<WPARAM>(queue.quitCode);
            return 0;
        }
        if (!SomeoneCouldPost(s))
            return -1;
        if (s.posted.wait_until(lock, deadline) == std::cv_status::timeout)
            return -1;
    }
}

bool ClassMatches(const std::string& className, LPCSTR wanted, UserState& s) {
    if (wanted == nullptr)
        return true;
    if (IsAtom(wanted)) {
        WindowClass* windowClass = FindClass(s, wanted);
        return windowClass != nullptr && sim::SameAscii(windowClass->name, className);
    }
    return sim::SameAscii(className, wanted);
}

// The most recently created window of this process that matches; NULL when none does.
HWND FindOwnWindow(LPCSTR className, LPCSTR windowName) {
    UserState& s = State();
    std::lock_guard guard(s.mutex);
    for (auto it = s.windows.rbegin(); it != s.windows.rend(); ++it) {
        const Window& window = it->second;
        if (window.destroying || !ClassMatches(window.className, className, s))
            continue;
        if (windowName != nullptr && !sim::SameAscii(window.title, windowName))
            continue;
        return it->first;
    }
    return nullptr;
}

bool IsShellWindow(LPCSTR className, LPCSTR windowName) {
    if (className == nullptr || IsAtom(className) || !sim::SameAscii(className, "Progman"))
        return false;
    return windowName == nullptr || sim::SameAscii(windowName, "Program Manager");
}

bool IsSystemCursor(uintptr_t id) {
    // Arrow, I-beam, wait, cross, up arrow; size, icon, the four sizing arrows, size-all;
    // no, app-starting, help.
    return (id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32646) || id == 32648 ||
           id == 32650 || id == 32651;
}

} // namespace

using sim::Locking;
using sim::OnSuccess;

// The USER32 calls keep to the window manager's own lock: window procedures run on the
// caller's thread and GetMessageA waits, while other threads use the machine.

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
    return sim::SimulatedCall<ATOM>(
        {"RegisterClassA", OnSuccess::LeavesLastError, 0, Locking::ByBody},
        [&]() -> sim::CallResult<ATOM> {
            if (lpWndClass == nullptr || lpWndClass->lpfnWndProc == nullptr ||
                IsAtom(lpWndClass->lpszClassName) || lpWndClass->lpszClassName[0] == '\0')
                return sim::Fail(ERROR_INVALID_PARAMETER);
            UserState& s = State();
            std::lock_guard guard(s.mutex);
            std::string key = sim::FoldAscii(lpWndClass->lpszClassName);
            if (s.classes.count(key) != 0)
                return sim::Fail(ERROR_CLASS_ALREADY_EXISTS);
            WindowClass windowClass;
            windowClass.fields = *lpWndClass;
            windowClass.fields.lpszMenuName = nullptr;
            windowClass.fields.lpszClassName = nullptr;
            windowClass.name = lpWndClass->lpszClassName;
            windowClass.atom = s.nextAtom++;
            WindowEvent event;
            event.kind = WindowEventKind::ClassRegistered;
            event.className = windowClass.name;
            event.windowClass = windowClass.fields;
            event.menuName = MenuName(lpWndClass->lpszMenuName);
            Record(s, std::move(event));
            ATOM atom = windowClass.atom;
            s.classes.emplace(key, std::move(windowClass));
            return atom;
        });
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    return sim::SimulatedCall<HCURSOR>(
        {"LoadCursorA", OnSuccess::LeavesLastError, nullptr, Locking::ByBody},
        [&]() -> sim::CallResult<HCURSOR> {
            // Only the system's own cursors exist; no module of this machine has cursor
            // resources.
            uintptr_t id = reinterpret_cast<uintptr_t>(lpCursorName);
            if (hInstance != nullptr || !IsAtom(lpCursorName) || !IsSystemCursor(id))
                return sim::Fail(kErrorResourceNameNotFound);
            return reinterpret_cast<HCURSOR>(kCursorBase + id);
        });
}

// A window whose procedure refuses WM_CREATE is not made, and no error of its own is set.
HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam) {
    return sim::SimulatedCall<HWND>(
        {"CreateWindowExA", OnSuccess::LeavesLastError, nullptr, Locking::ByBody},
        [&]() -> sim::CallResult<HWND> {
            UserState& s = State();
            HWND hwnd = nullptr;
            {
                std::lock_guard guard(s.mutex);
                WindowClass* windowClass = FindClass(s, lpClassName);
                if (windowClass == nullptr)
                    return sim::Fail(ERROR_CANNOT_FIND_WND_CLASS);
                if (hWndParent != nullptr && FindWindowRecord(s, hWndParent) == nullptr)
                    return sim::Fail(ERROR_INVALID_WINDOW_HANDLE);
                hwnd = reinterpret_cast<HWND>(s.nextWindow);
                s.nextWindow += kWindowStep;
                Window window;
                window.className = windowClass->name;
                window.title = lpWindowName != nullptr ? lpWindowName : "";
                window.proc = windowClass->fields.lpfnWndProc;
                window.parent = hWndParent;
                window.owner = std::this_thread::get_id();
                WindowEvent event;
                event.kind = WindowEventKind::WindowCreated;
                event.hwnd = hwnd;
                event.className = window.className;
                event.windowName = window.title;
                event.exStyle = dwExStyle;
                event.style = dwStyle;
                event.x = X;
                event.y = Y;
                event.width = nWidth;
                event.height = nHeight;
                event.parent = hWndParent;
                event.menu = hMenu;
                event.instance = hInstance;
                event.param = lpParam;
                s.windows.emplace(hwnd, std::move(window));
                Record(s, std::move(event));
            }
            CREATESTRUCTA create{lpParam,
                                 hInstance,
                                 hMenu,
                                 hWndParent,
                                 nHeight,
                                 nWidth,
                                 Y,
                                 X,
                                 static_cast<LONG>(dwStyle),
                                 lpWindowName,
                                 lpClassName,
                                 dwExStyle};
            std::optional<LRESULT> result =
                CallProcedure(WindowEventKind::MessageSent, hwnd, WM_CREATE, 0,
                              reinterpret_cast<LPARAM>(&create));
            if (result == -1) {
                Destroy(hwnd);
                return HWND{nullptr};
            }
            std::lock_guard guard(s.mutex);
            Window* window = FindWindowRecord(s, hwnd);
            if (window == nullptr || window->destroying)
                return HWND{nullptr}; // destroyed while it was being created
            return hwnd;
        });
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    return sim::SimulatedCall<BOOL>(
        {"ShowWindow", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            UserState& s = State();
            std::lock_guard guard(s.mutex);
            Window* window = FindWindowRecord(s, hWnd);
            if (window == nullptr)
                return sim::Fail(ERROR_INVALID_WINDOW_HANDLE);
            bool wasVisible = window->visible;
            window->visible = nCmdShow != SW_HIDE;
            WindowEvent event;
            event.kind = WindowEventKind::WindowShown;
            event.hwnd = hWnd;
            event.wParam = static_cast<WPARAM>(nCmdShow);
            Record(s, std::move(event));
            return wasVisible ? TRUE : FALSE;
        });
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    return sim::SimulatedCall<BOOL>(
        {"DestroyWindow", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            UserState& s = State();
            {
                std::lock_guard guard(s.mutex);
                Window* window = FindWindowRecord(s, hWnd);
                if (window == nullptr)
                    return sim::Fail(ERROR_INVALID_WINDOW_HANDLE);
                // Only the thread that created a window may destroy it.
                if (window->owner != std::this_thread::get_id())
                    return sim::Fail(ERROR_ACCESS_DENIED);
            }
            if (!Destroy(hWnd))
                return sim::Fail(ERROR_INVALID_WINDOW_HANDLE);
            return TRUE;
        });
}

// It returns nothing: an injected failure only sets the last error.
void WINAPI PostQuitMessage(int nExitCode) {
    sim::SimulatedCall<BOOL>(
        {"PostQuitMessage", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            UserState& s = State();
            std::lock_guard guard(s.mutex);
            ThreadQueue& queue = s.queues[std::this_thread::get_id()];
            queue.quit = true;
            queue.quitCode = nExitCode;
            WindowEvent event;
            event.kind = WindowEventKind::QuitPosted;
            event.message = WM_QUIT;
            event.wParam = static_cast<WPARAM>(nExitCode);
            Record(s, std::move(event));
            s.posted.notify_all();
            return TRUE;
        });
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return sim::SimulatedCall<BOOL>(
        {"PostMessageA", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            UserState& s = State();
            std::lock_guard guard(s.mutex);
            std::thread::id target =
                std::this_thread::get_id(); // no window: the caller's own queue
            if (hWnd != nullptr) {
                Window* window = FindWindowRecord(s, hWnd);
                if (window == nullptr || window->destroying)
                    return sim::Fail(ERROR_INVALID_WINDOW_HANDLE);
                target = window->owner;
            }
            MSG msg{};
            msg.hwnd = hWnd;
            msg.message = Msg;
            msg.wParam = wParam;
            msg.lParam = lParam;
            s.queues[target].messages.push_back(msg);
            Record(s, MessageEvent(WindowEventKind::MessagePosted, hWnd, Msg, wParam, lParam));
            s.posted.notify_all();
            return TRUE;
        });
}

// 0 for WM_QUIT is a success: only -1 is a failure.
BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    return sim::SimulatedCall<BOOL>(
        {"GetMessageA", OnSuccess::LeavesLastError, -1, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            if (lpMsg == nullptr)
                return sim::Fail(ERROR_INVALID_PARAMETER);
            if (hWnd != nullptr) {
                UserState& s = State();
                std::lock_guard guard(s.mutex);
                if (FindWindowRecord(s, hWnd) == nullptr)
                    return sim::Fail(ERROR_INVALID_WINDOW_HANDLE);
            }
            MSG msg{};
            int taken = TakeMessage(&msg, hWnd, wMsgFilterMin, wMsgFilterMax);
            if (taken < 0)
                return ReportEndlessWait();
            msg.time = sim::MachineTickCount(); // outside the window lock: it takes the machine's
            *lpMsg = msg;
            return taken;
        });
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    return sim::SimulatedCall<BOOL>(
        {"TranslateMessage", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            (void)lpMsg; // no keyboard, so nothing to translate
            return FALSE;
        });
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    return sim::SimulatedCall<LRESULT>(
        {"DispatchMessageA", OnSuccess::LeavesLastError, 0, Locking::ByBody},
        [&]() -> sim::CallResult<LRESULT> {
            if (lpMsg == nullptr)
                return sim::Fail(ERROR_INVALID_PARAMETER);
            if (lpMsg->hwnd == nullptr)
                return 0; // a thread message has no procedure
            std::optional<LRESULT> result =
                CallProcedure(WindowEventKind::MessageDispatched, lpMsg->hwnd, lpMsg->message,
                              lpMsg->wParam, lpMsg->lParam);
            if (!result)
                return sim::Fail(ERROR_INVALID_WINDOW_HANDLE);
            return *result;
        });
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM, LPARAM) {
    return sim::SimulatedCall<LRESULT>(
        {"DefWindowProcA", OnSuccess::LeavesLastError, 0, Locking::ByBody},
        [&]() -> sim::CallResult<LRESULT> {
            switch (Msg) {
            case kNcCreate:
                return TRUE;
            case WM_CLOSE:
                DestroyWindow(hWnd);
                return 0;
            default:
                return 0;
            }
        });
}

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    return sim::SimulatedCall<HWND>(
        {"FindWindowA", OnSuccess::LeavesLastError, nullptr, Locking::ByBody},
        [&]() -> sim::CallResult<HWND> {
            if (IsShellWindow(lpClassName, lpWindowName) && sim::ShellRunning())
                return reinterpret_cast<HWND>(kShellWindow);
            return FindOwnWindow(lpClassName, lpWindowName);
        });
}

// Nobody is at this machine's screen: the box is shown on stderr and taken as answered OK.
int WINAPI MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT) {
    std::fprintf(stderr, "vtxsim: message box \"%s\": %s\n",
                 lpCaption != nullptr ? lpCaption : "Error", lpText != nullptr ? lpText : "");
    return IDOK;
}

} // extern "C"

namespace sim {

std::vector<WindowEvent> WindowEvents() {
    UserState& s = State();
    std::lock_guard guard(s.mutex);
    return s.events;
}

void ResetWindows() {
    ResetState();
}

unsigned LiveWindowCount() {
    UserState& s = State();
    std::lock_guard guard(s.mutex);
    unsigned count = 0;
    for (const auto& [hwnd, window] : s.windows) {
        if (!window.destroying)
            ++count;
    }
    return count;
}

} // namespace sim
