// Open ports: the records the spooler holds as port handles, their documents on the device, the
// I/O, and the operations this monitor does not offer.
#include "port_monitor/monitor.h"
#include "common/bounded_text.h"
#include "common/windows_version.h"

static PortHandle* FindOpenPort(LPCSTR name) {
    for (PortHandle* port = OpenPortList; port != NULL; port = port->next) {
        if (lstrcmpiA(port->portName, name) == 0)
            return port;
    }
    return NULL;
}

static void FreePortHandle(PortHandle* port) {
    FreeBlock(port->printerName);
    FreeBlock(port->portName);
    FreeBlock(port->devicePath);
    FreeBlock(port);
}

// A new idle record for a known, enabled port; called with OpenPortLock held, it takes
// PortTableLock inside (that order, never the reverse).
static PortHandle* CreateOpenPort(LPCSTR name) {
    PortHandle* port = NULL;
    EnterCriticalSection(&PortTableLock);
    if (IsPortKnown(name)) {
        port = (PortHandle*)AllocZeroed(sizeof(PortHandle));
        if (port != NULL) {
            port->portName = DupString(name);
            port->devicePath = DupString(FindDevicePath(name));
            if (port->portName == NULL || port->devicePath == NULL) {
                FreePortHandle(port);
                port = NULL;
            }
        }
    }
    LeaveCriticalSection(&PortTableLock);
    if (port == NULL)
        return NULL;
    port->handle = INVALID_HANDLE_VALUE;
    port->flags = 0;
    port->holders = 1;
    port->next = OpenPortList;
    OpenPortList = port;
    return port;
}

BOOL WINAPI OpenPort(LPSTR pName, PHANDLE pHandle) {
    if (pHandle == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PortHandle* port = NULL;
    EnterCriticalSection(&OpenPortLock);
    if (pName != NULL) {
        // Printers that share a port share its record, and with it the started document.
        port = FindOpenPort(pName);
        if (port != NULL)
            port->holders++;
        else
            port = CreateOpenPort(pName);
    }
    *pHandle = (HANDLE)port;
    LeaveCriticalSection(&OpenPortLock);
    return port != NULL;
}

static BOOL Unlink(PortHandle* port) {
    for (PortHandle** link = &OpenPortList; *link != NULL; link = &(*link)->next) {
        if (*link == port) {
            *link = port->next;
            return TRUE;
        }
    }
    return FALSE;
}

// An atomic read: another holder may be starting or ending a document on the record.
static LONG ReadFlags(PortHandle* port) {
    return InterlockedCompareExchange(&port->flags, 0, 0);
}

static BOOL IsOpenDevice(HANDLE device) {
    return device != NULL && device != INVALID_HANDLE_VALUE;
}

BOOL WINAPI ClosePort(HANDLE hPort) {
    PortHandle* port = (PortHandle*)hPort;
    if (port == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    EnterCriticalSection(&OpenPortLock);
    BOOL listed = FALSE;
    for (PortHandle* p = OpenPortList; p != NULL; p = p->next) {
        if (p == port)
            listed = TRUE;
    }
    // A handle that is not in the list changes nothing; another holder keeps the record.
    if (listed && --port->holders == 0) {
        Unlink(port);
        // A document still started at the last close would hold the device open for good.
        if ((ReadFlags(port) & PORT_STARTED) != 0 && IsOpenDevice(port->handle))
            CloseHandle(port->handle);
        FreePortHandle(port);
    }
    LeaveCriticalSection(&OpenPortLock);
    return TRUE;
}

// Opens the port's device exclusively, with PortTableLock held for the lookup and the open.
// FALSE with the failing call's last error, or 2 when the port has no device path any more.
static BOOL OpenPortDevice(PortHandle* port) {
    BOOL opened = FALSE;
    EnterCriticalSection(&PortTableLock);
    LPCSTR path = FindDevicePath(port->portName);
    if (path == NULL) {
        SetLastError(ERROR_FILE_NOT_FOUND);
    } else {
        FreeBlock(port->devicePath);
        port->devicePath = DupString(path);
        port->handle =
            CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        opened = IsOpenDevice(port->handle);
    }
    LeaveCriticalSection(&PortTableLock);
    return opened;
}

static BOOL IsWindowsMe(void) {
    return IsWindows4AtLeast(WINDOWS_ME_MINOR);
}

BOOL WINAPI StartDocPort(HANDLE hPort, LPSTR pPrinterName, DWORD JobId, DWORD Level,
                         LPBYTE pDocInfo) {
    (void)JobId;
    (void)Level;
    (void)pDocInfo;
    PortHandle* port = (PortHandle*)hPort;
    if (port == NULL || pPrinterName == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (IsWindowsMe()) {
        // Windows ME: refresh the devices at each document, without clearing the table.
        EnterCriticalSection(&PortTableLock);
        ScanDevices();
        LeaveCriticalSection(&PortTableLock);
    }
    // Test and set in one step: of two printers starting on a shared record, one gets it.
    if (InterlockedCompareExchange(&port->flags, PORT_CHANGING, 0) != 0) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    port->printerName = DupString(pPrinterName);
    if (port->printerName == NULL) {
        InterlockedExchange(&port->flags, 0);
        return FALSE;
    }
    if (!OpenPortDevice(port)) {
        DWORD error = GetLastError();
        FreeBlock(port->printerName);
        port->printerName = NULL;
        InterlockedExchange(&port->flags, 0);
        SetLastError(error);
        return FALSE;
    }
    InterlockedExchange(&port->flags, PORT_STARTED);
    return TRUE;
}

BOOL WINAPI EndDocPort(HANDLE hPort) {
    PortHandle* port = (PortHandle*)hPort;
    if (port == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Only a started document is ended, and only once.
    if (InterlockedCompareExchange(&port->flags, PORT_CHANGING, PORT_STARTED) != PORT_STARTED)
        return TRUE;
    CloseHandle(port->handle);
    port->handle = NULL;
    FreeBlock(port->printerName);
    port->printerName = NULL;
    InterlockedExchange(&port->flags, 0);
    return TRUE;
}

BOOL WINAPI WritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten) {
    PortHandle* port = (PortHandle*)hPort;
    if (port == NULL || pcbWritten == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A failed write must not pass the caller's old count off as bytes moved.
    *pcbWritten = 0;
    if (WriteFile(port->handle, pBuffer, cbBuf, pcbWritten, NULL) || *pcbWritten != 0)
        return TRUE;
    // Nothing moved: the printer's status says why. Selected and without error means it is
    // merely slow: TRUE with nothing written and a last error of 0.
    DWORD status = QueryDeviceStatus(port->handle);
    SetLastError(status);
    return status == ERROR_SUCCESS;
}

DWORD QueryDeviceStatus(HANDLE device) {
    BYTE status = 0;
    DWORD returned = 0;
    if (!DeviceIoControl(device, IOCTL_PRINTER_PORT_STATUS, &status, 1, &status, 1, &returned,
                         NULL))
        return ERROR_NOT_READY;
    if ((status & STATUS_PAPER_EMPTY) != 0)
        return ERROR_OUT_OF_PAPER;
    if ((status & STATUS_SELECTED) == 0)
        return ERROR_NOT_READY;
    if ((status & STATUS_NO_ERROR) != 0)
        return ERROR_SUCCESS;
    return ERROR_NOT_READY;
}

BOOL WINAPI ReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead) {
    PortHandle* port = (PortHandle*)hPort;
    if (port == NULL || pcbRead == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return ReadFile(port->handle, pBuffer, cbBuffer, pcbRead, NULL);
}

// Controls pass through to the driver only while a document holds the device; queries by
// value name (control id 0) are not offered.
BOOL WINAPI GetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPSTR pValueName,
                                   LPSTR lpInBuffer, DWORD cbInBuffer, LPSTR lpOutBuffer,
                                   DWORD cbOutBuffer, LPDWORD lpcbReturned) {
    (void)pValueName;
    PortHandle* port = (PortHandle*)hPort;
    if (port == NULL || ControlID == 0 || (ReadFlags(port) & PORT_STARTED) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return DeviceIoControl(port->handle, ControlID, lpInBuffer, cbInBuffer, lpOutBuffer,
                           cbOutBuffer, lpcbReturned, NULL);
}

BOOL WINAPI AddPort(LPSTR pName, HWND hWnd, LPSTR pMonitorName) {
    (void)pName;
    (void)hWnd;
    (void)pMonitorName;
    SetLastError(ERROR_INVALID_PRINTER_COMMAND);
    return FALSE;
}

BOOL WINAPI DeletePort(LPSTR pName, HWND hWnd, LPSTR pPortName) {
    (void)pName;
    (void)hWnd;
    (void)pPortName;
    SetLastError(ERROR_INVALID_PRINTER_COMMAND);
    return FALSE;
}

BOOL WINAPI ConfigurePort(LPSTR pName, HWND hWnd, LPSTR pPortName) {
    (void)pName;
    (void)hWnd;
    (void)pPortName;
    return TRUE;
}

BOOL WINAPI SetPortTimeOuts(HANDLE hPort, LPCOMMTIMEOUTS lpCTO, DWORD reserved) {
    (void)lpCTO;
    (void)reserved;
    if (hPort == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
