// Control of the simulated kernel: version, shell, clock, global heap and locks.
#pragma once

#include "platform/sim/machine_types.h"
#include "platform/win32api.h"

namespace vtxsim {

using sim::WindowsVersion;

// Persisted in the machine: every process of the machine sees them.
void SetWindowsVersion(WindowsVersion version);
void SetShellRunning(bool running);
WindowsVersion GetWindowsVersion();
bool IsShellRunning();
// Fixes GetTickCount at ms until it is advanced or set again.
void SetTickCount(DWORD ms);
// Moves the clock forward by ms, wrapping at 2^32 as the real counter does.
void AdvanceTickCount(DWORD ms);
// Lets GetTickCount count the milliseconds since the machine's boot again.
void RunClockFromBoot();

// Per process: blocks from GlobalAlloc not yet freed.
unsigned LiveGlobalBlocks();
// Per process: InitializeCriticalSection calls on a section that was held at the time.
unsigned CriticalSectionReinitialisations();

} // namespace vtxsim
