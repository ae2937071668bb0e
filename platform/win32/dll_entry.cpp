// Entry point of vtxpmo01.dll. There is no C runtime to start: the monitor keeps no per-thread
// state and sets itself up in InitializeMonitorEx, so every attach is accepted and thread
// notifications are switched off.
#include "platform/win32api.h"

extern "C" BOOL WINAPI DllEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    return TRUE;
}
