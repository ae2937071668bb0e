// The Windows 9x spooler's monitor interface. The SDK's MONITOR record is the NT layout, so
// both builds use this declaration: 13 slots, no AddPortEx, ConfigurePort with three arguments.
#ifndef VTX_PLATFORM_MONITOR9X_H
#define VTX_PLATFORM_MONITOR9X_H

#include "platform/win32api.h"

typedef struct _MONITOR {
    BOOL(WINAPI* pfnEnumPorts)
    (LPSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned);
    BOOL(WINAPI* pfnOpenPort)(LPSTR pName, PHANDLE pHandle);
    BOOL(WINAPI* pfnOpenPortEx)
    (LPSTR pPortName, LPSTR pPrinterName, PHANDLE pHandle, struct _MONITOR* pMonitor);
    BOOL(WINAPI* pfnStartDocPort)
    (HANDLE hPort, LPSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo);
    BOOL(WINAPI* pfnWritePort)(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten);
    BOOL(WINAPI* pfnReadPort)(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead);
    BOOL(WINAPI* pfnEndDocPort)(HANDLE hPort);
    BOOL(WINAPI* pfnClosePort)(HANDLE hPort);
    BOOL(WINAPI* pfnAddPort)(LPSTR pName, HWND hWnd, LPSTR pMonitorName);
    BOOL(WINAPI* pfnConfigurePort)(LPSTR pName, HWND hWnd, LPSTR pPortName);
    BOOL(WINAPI* pfnDeletePort)(LPSTR pName, HWND hWnd, LPSTR pPortName);
    BOOL(WINAPI* pfnGetPrinterDataFromPort)
    (HANDLE hPort, DWORD ControlID, LPSTR pValueName, LPSTR lpInBuffer, DWORD cbInBuffer,
     LPSTR lpOutBuffer, DWORD cbOutBuffer, LPDWORD lpcbReturned);
    BOOL(WINAPI* pfnSetPortTimeOuts)(HANDLE hPort, LPCOMMTIMEOUTS lpCTO, DWORD reserved);
} MONITOR, *LPMONITOR;

// The monitor library's one export, called by the spooler for each registered instance.
typedef BOOL(WINAPI* INITIALIZEMONITOREX)(LPSTR pRegistryRoot, LPMONITOR pMonitor);

#ifdef _WIN32
#define VTX_MONITOR_EXPORT extern "C"
#else
#define VTX_MONITOR_EXPORT extern "C" __attribute__((visibility("default")))
#endif

VTX_MONITOR_EXPORT BOOL WINAPI InitializeMonitorEx(LPSTR pRegistryRoot, LPMONITOR pMonitor);

#endif // VTX_PLATFORM_MONITOR9X_H
