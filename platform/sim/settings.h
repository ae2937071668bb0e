// Machine settings kept in the machine directory's "settings" file: the Windows version the
// machine reports, whether its shell runs, the clock behind GetTickCount and the order in which
// the registry enumerates subkeys and values.
#pragma once

#include "platform/win32api.h"

namespace sim {

enum class WindowsVersion { Win95, Win98, WinMe, WinNt4, Win2000 };
// Creation order is what the simulator keeps; sorted is Wine's (names compared with A-Z folded
// to lower case, a name before every longer name it begins). Which one Windows 98 uses is not
// known, so what depends on it is run in both.
enum class EnumerationOrder { Creation, Sorted };

WindowsVersion CurrentWindowsVersion();
bool ShellRunning();
EnumerationOrder RegistryEnumerationOrder();
// Milliseconds since the machine's boot, or the value a test fixed; wraps at 2^32.
DWORD MachineTickCount();

} // namespace sim
