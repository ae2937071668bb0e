// Machine settings kept in the machine directory's "settings" file: the Windows version the
// machine reports, whether its shell runs, the clock behind GetTickCount, the order in which
// the registry enumerates subkeys and values, and the last device interface number handed out.
//
// NOTES
// - Creation order is Windows 9x's. A Windows ME registry file (SYSTEM.DAT of 4.90.3000, read
//   with the documented 9x registry file format) keeps each key's subkeys and values in
//   first-child/next-sibling lists in the order they were made; the file has no sorted index,
//   and only 12 of its 174 lists with 5 or more children happened to be in name order. Wine
//   sorts subkeys and values, Windows NT sorts subkeys only: what depends on the order is run in
//   both.
#pragma once

#include "platform/sim/machine_types.h"
#include "platform/win32api.h"

namespace sim {

WindowsVersion CurrentWindowsVersion();
bool ShellRunning();
EnumerationOrder RegistryEnumerationOrder();
// Milliseconds since the machine's boot, or the value a test fixed; wraps at 2^32.
DWORD MachineTickCount();
// The next device interface number: one above both the last handed out and atLeast (the
// highest already in the registry, which a seeded registry may bring). Kept in the machine,
// never handed out twice while it lives, so a removed interface's path never names a new one.
DWORD TakeInterfaceNumber(DWORD atLeast);
// What TakeInterfaceNumber(atLeast) would give, handing nothing out.
DWORD PeekInterfaceNumber(DWORD atLeast);

// Each changes the machine's settings as one transaction.
void SetWindowsVersion(WindowsVersion version);
void SetShellRunning(bool running);
void SetEnumerationOrder(EnumerationOrder order);
void SetTickCount(DWORD ms);
// Forward by ms, wrapping at 2^32 as the real counter does.
void AdvanceTickCount(DWORD ms);
void RunClockFromBoot();

} // namespace sim
