// Machine settings kept in the machine directory's "settings" file: the Windows version the
// machine reports, whether its shell runs, and the clock behind GetTickCount.
#pragma once

#include "platform/win32api.h"

namespace sim {

enum class WindowsVersion { Win95, Win98, WinMe, WinNt4, Win2000 };

WindowsVersion CurrentWindowsVersion();
bool ShellRunning();
// Milliseconds since the machine's boot, or the value a test fixed; wraps at 2^32.
DWORD MachineTickCount();

} // namespace sim
