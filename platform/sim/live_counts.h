// What a process of the machine still holds, counted for the controls' leak checks.
#pragma once

namespace sim {

// Blocks from GlobalAlloc not yet freed.
unsigned LiveGlobalBlocks();
// InitializeCriticalSection calls on a section that was held at the time.
unsigned CriticalSectionReinitialisations();
// Registry handles open, predefined roots not counted.
unsigned OpenKeyHandleCount();
// Device information lists from SetupDiGetClassDevsA not yet destroyed.
unsigned OpenDeviceInfoListCount();

} // namespace sim
