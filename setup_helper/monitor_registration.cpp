// Monitor registration: the spooler's monitor instance named by the device's serial number, and
// the scan that tells whether a printer already uses a port of this device.
#include "common/port_serial.h"
#include "common/product_names.h"
#include "common/registry_text.h"
#include "platform/win32api.h"
#include "setup_helper/helper.h"

static CHAR MonitorEnvironment[] = "Windows 4.0";
static CHAR MonitorLibrary[] = MONITOR_FILE_NAME;

// The printer's "Port" value as text (HELPER_TEXT_SIZE bytes), terminated after what the
// registry returned; one that leaves no room for the terminator does not count.
static BOOL ReadPrinterPort(HKEY printers, LPCSTR printerName, LPSTR port) {
    HKEY printer;
    if (RegOpenKeyExA(printers, printerName, 0, KEY_ALL_ACCESS, &printer) != ERROR_SUCCESS)
        return FALSE;
    LONG rc = ReadRegistryText(printer, "Port", NULL, port, HELPER_TEXT_SIZE, HELPER_TEXT_SIZE, 0);
    RegCloseKey(printer);
    return rc == ERROR_SUCCESS;
}

// 1 when no printer's "Port" names the serial number, 0 as soon as one does. A port that only
// holds the serial inside its own ("AB1" in ".../AB12") is another printer's.
DWORD ScanPrinterPorts(void) {
    CHAR printerName[HELPER_TEXT_SIZE];
    CHAR port[HELPER_TEXT_SIZE];
    HKEY printers = HKEY_LOCAL_MACHINE;
    DWORD result = 1;
    DWORD index;

    LONG rc = OpenKeyPath(PRINTERS_KEY_NAME "\\", &printers, NULL);
    if (rc != ERROR_SUCCESS || printers == HKEY_LOCAL_MACHINE)
        return 1;
    for (index = 0; result != 0; index++) {
        DWORD nameSize = sizeof(printerName);
        rc = RegEnumKeyExA(printers, index, printerName, &nameSize, NULL, NULL, NULL, NULL);
        // A name too long for the buffer only means that this printer does not match; any
        // other failure would repeat for every index, so it ends the scan like the last one.
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            break;
        if (ReadPrinterPort(printers, printerName, port) && PortNamesSerial(port, DeviceSerial))
            result = 0;
    }
    CloseKeyPath(&printers);
    return result;
}

void RegisterDeviceMonitor(void) {
    MONITOR_INFO_2A monitor;
    monitor.pName = DeviceSerial;
    monitor.pEnvironment = MonitorEnvironment;
    monitor.pDLLName = MonitorLibrary;
    if (AddMonitorA(NULL, 2, (LPBYTE)&monitor))
        return;
    // A failure that carries no code is still a failure for the setup program.
    DWORD code = GetLastError();
    DialogCode = 2;
    ErrorCode = code != ERROR_SUCCESS ? (LONG)code : ERROR_GEN_FAILURE;
    AbortFlag = 1;
}

void UnregisterDeviceMonitor(void) {
    DeleteMonitorA(NULL, MonitorEnvironment, DeviceSerial);
}
