// The port monitor's shared internal declarations: its records, its program-wide state and the
// operations the entry, enumeration and open-port files share.
#ifndef VTX_PORT_MONITOR_MONITOR_H
#define VTX_PORT_MONITOR_MONITOR_H

#include "platform/win32api.h"
#include "platform/monitor9x.h"

#define PORT_ENTRY_SIGNATURE 0x4F50
// Port names, serial numbers and products during discovery.
#define PORT_NAME_SIZE 256
#define REGISTRY_ROOT_SIZE 260
#define CLASS_NAME_SIZE 260
#define STALE_AFTER_MS 10000
// The enabled value given to an interface whose Enabled value was not read (a key without
// values, or no key at all): such an interface gets the default name and is usable, and several
// of them merge into one entry instead of listing the same name twice.
#define ENABLED_WHEN_UNREAD 1

// PortHandle flags. Bit 0 is set while a document is started. Bit 1 marks a record that one
// thread is starting or ending a document on; it keeps other holders out meanwhile.
#define PORT_STARTED 0x1
#define PORT_CHANGING 0x2

#define IOCTL_PRINTER_PORT_STATUS                                                                  \
    CTL_CODE(FILE_DEVICE_PRINTER, 0x801, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define STATUS_PAPER_EMPTY 0x20
#define STATUS_SELECTED 0x10
#define STATUS_NO_ERROR 0x08

typedef struct _PortEntry {
    DWORD signature;
    DWORD size;
    struct _PortEntry* next;
    LPSTR name; // inline, after the fixed part
    LPSTR description;
    DWORD enabled;
    LPSTR devicePath;
} PortEntry;

typedef struct _PortHandle {
    struct _PortHandle* next;
    LPSTR printerName;
    LPSTR portName;
    LPSTR devicePath;
    LONG volatile flags;
    HANDLE handle;
    // Printers on one port share its record; it is freed when the last of them closes it.
    LONG holders;
} PortHandle;

// Program-wide state (monitor_entry.cpp).
extern PortEntry* PortTable;
extern DWORD LastScanTick;
extern const CHAR MonitorName[];
extern CHAR RegistryRoot[REGISTRY_ROOT_SIZE];
extern CRITICAL_SECTION PortTableLock;
extern CRITICAL_SECTION OpenPortLock;
extern PortHandle* OpenPortList;

// Memory blocks (memory_blocks.cpp).
LPVOID AllocZeroed(DWORD size);
void FreeBlock(LPVOID block);
LPSTR DupString(LPCSTR text);

// The port table (port_table.cpp).
PortEntry* AddPortEntry(LPCSTR name, LPCSTR description, LPCSTR devicePath, DWORD enabled);
void ClearPortTable(void);
// The lookups are called with PortTableLock held.
PortEntry* FindPortEntry(LPCSTR name);
LPCSTR FindDevicePath(LPCSTR name);

// Device discovery and the rebuild of a stale table (device_discovery.cpp), with PortTableLock
// held.
void ScanDevices(void);
BOOL ReadInterfaceValues(HKEY key, LPSTR name, DWORD nameSize, LPDWORD enabled);
void RescanIfStale(void);
BOOL IsPortKnown(LPCSTR name);

// The spooler's operations.
BOOL WINAPI EnumPorts(LPSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                      LPDWORD pcReturned);
BOOL WINAPI OpenPort(LPSTR pName, PHANDLE pHandle);
BOOL WINAPI ClosePort(HANDLE hPort);
BOOL WINAPI StartDocPort(HANDLE hPort, LPSTR pPrinterName, DWORD JobId, DWORD Level,
                         LPBYTE pDocInfo);
BOOL WINAPI EndDocPort(HANDLE hPort);
BOOL WINAPI WritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten);
BOOL WINAPI ReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead);
BOOL WINAPI GetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPSTR pValueName,
                                   LPSTR lpInBuffer, DWORD cbInBuffer, LPSTR lpOutBuffer,
                                   DWORD cbOutBuffer, LPDWORD lpcbReturned);
BOOL WINAPI AddPort(LPSTR pName, HWND hWnd, LPSTR pMonitorName);
BOOL WINAPI ConfigurePort(LPSTR pName, HWND hWnd, LPSTR pPortName);
BOOL WINAPI DeletePort(LPSTR pName, HWND hWnd, LPSTR pPortName);
BOOL WINAPI SetPortTimeOuts(HANDLE hPort, LPCOMMTIMEOUTS lpCTO, DWORD reserved);
DWORD QueryDeviceStatus(HANDLE device);

#endif // VTX_PORT_MONITOR_MONITOR_H
