// Control: what the window manager did in this process, in order, so tests can follow a
// window's life cycle. Window state is per process and not persisted.
#pragma once

#include "platform/win32api.h"

#include <string>
#include <vector>

namespace vtxsim {

enum class WindowEventKind {
    ClassRegistered,   // RegisterClassA succeeded
    WindowCreated,     // CreateWindowExA made the window (before WM_CREATE is sent)
    MessageSent,       // a message given to the window procedure inside an API call
    MessageDispatched, // a posted message given to the window procedure by DispatchMessageA
    MessagePosted,     // PostMessageA queued a message
    QuitPosted,        // PostQuitMessage; wParam is the exit code
    WindowShown,       // ShowWindow; wParam is nCmdShow
    WindowDestroyed,   // the window is gone (after its WM_DESTROY)
};

struct WindowEvent {
    WindowEventKind kind = WindowEventKind::ClassRegistered;
    HWND hwnd = nullptr;
    std::string className;  // ClassRegistered, WindowCreated
    std::string windowName; // WindowCreated
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0; // the procedure's result (MessageSent, MessageDispatched)
    // ClassRegistered: the fields as given; lpszMenuName and lpszClassName are not kept.
    WNDCLASSA windowClass{};
    std::string menuName; // "#<id>" for a resource number
    // WindowCreated: the creation arguments.
    DWORD exStyle = 0;
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    HWND parent = nullptr;
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    LPVOID param = nullptr;
};

std::vector<WindowEvent> WindowEvents();
// Forgets this process's classes, windows, message queues and events (a fresh process).
// ResetMachine does the same.
void ResetWindows();
// Windows of this process not yet destroyed.
unsigned LiveWindowCount();

} // namespace vtxsim
