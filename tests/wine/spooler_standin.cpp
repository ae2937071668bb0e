// vtxspool: a small stand-in for the Windows 9x spooler, for the Wine tests. It makes a device
// interface of the printer class the way the USB driver's installation would, loads the real
// vtxpmo01.dll, calls InitializeMonitorEx and drives the monitor's operations as the spooler
// does. Each step prints one "name=value" line for the test script to check.
//
//   vtxspool device <instance id> <serial> <product>   make an enabled interface, print its path
//   vtxspool enum                                      print every port at levels 1 and 2
//   vtxspool print <port> <text>                       one job writing text to the port
//   vtxspool held <port> <device path>                 start a job while another holds the device
#include "platform/monitor9x.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const GUID kInterfaceClass = {
    0x5d2f7a10, 0x3c4b, 0x4e8a, {0x9b, 0x61, 0x2f, 0x0c, 0x8e, 0x4d, 0x7a, 0x93}};
const char kMonitorRoot[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\vtxspool";

int Fail(const char* step) {
    printf("%s=failed error=%lu\n", step, GetLastError());
    return 1;
}

bool SetText(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(strlen(text) + 1)) == ERROR_SUCCESS;
}

bool PrintDevicePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* iface) {
    DWORD needed = 0;
    SetupDiGetDeviceInterfaceDetailA(set, iface, NULL, 0, &needed, NULL);
    if (needed == 0)
        return false;
    SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail =
        static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(calloc(1, needed));
    if (detail == NULL)
        return false;
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    bool ok = SetupDiGetDeviceInterfaceDetailA(set, iface, detail, needed, NULL, NULL) != FALSE;
    if (ok)
        printf("DevicePath=%s\n", detail->DevicePath);
    free(detail);
    return ok;
}

int MakeDevice(const char* instanceId, const char* serial, const char* product) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kInterfaceClass, NULL);
    if (set == INVALID_HANDLE_VALUE)
        return Fail("SetupDiCreateDeviceInfoList");
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    if (!SetupDiCreateDeviceInfoA(set, instanceId, &kInterfaceClass, NULL, NULL, 0, &device))
        return Fail("SetupDiCreateDeviceInfoA");
    if (!SetupDiRegisterDeviceInfo(set, &device, 0, NULL, NULL, NULL))
        return Fail("SetupDiRegisterDeviceInfo");
    SP_DEVICE_INTERFACE_DATA iface = {};
    iface.cbSize = sizeof(iface);
    if (!SetupDiCreateDeviceInterfaceA(set, &device, &kInterfaceClass, NULL, 0, &iface))
        return Fail("SetupDiCreateDeviceInterfaceA");
    HKEY key = SetupDiCreateDeviceInterfaceRegKeyA(set, &iface, 0, KEY_ALL_ACCESS, NULL, NULL);
    if (key == NULL || key == INVALID_HANDLE_VALUE)
        return Fail("SetupDiCreateDeviceInterfaceRegKeyA");
    DWORD enabled = 1;
    bool written =
        SetText(key, "SerialNumber", serial) && SetText(key, "Product", product) &&
        RegSetValueExA(key, "Enabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enabled),
                       sizeof(enabled)) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (!written)
        return Fail("RegSetValueExA");
    bool listed = PrintDevicePath(set, &iface);
    SetupDiDestroyDeviceInfoList(set);
    return listed ? 0 : Fail("SetupDiGetDeviceInterfaceDetailA");
}

// Loads the monitor as the 9x spooler does: by file name, then its one export.
bool LoadMonitor(MONITOR* monitor) {
    HMODULE library = LoadLibraryA("vtxpmo01.dll");
    if (library == NULL) {
        Fail("LoadLibraryA");
        return false;
    }
    INITIALIZEMONITOREX initialize = reinterpret_cast<INITIALIZEMONITOREX>(
        reinterpret_cast<void*>(GetProcAddress(library, "InitializeMonitorEx")));
    if (initialize == NULL) {
        Fail("GetProcAddress");
        return false;
    }
    memset(monitor, 0, sizeof(*monitor));
    static char root[sizeof(kMonitorRoot)];
    memcpy(root, kMonitorRoot, sizeof(kMonitorRoot));
    if (!initialize(root, monitor)) {
        Fail("InitializeMonitorEx");
        return false;
    }
    printf("InitializeMonitorEx=ok\n");
    return true;
}

bool EnumLevel(MONITOR* monitor, DWORD level) {
    DWORD needed = 0;
    DWORD count = 0;
    SetLastError(0);
    if (monitor->pfnEnumPorts(NULL, level, NULL, 0, &needed, &count) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        printf("EnumPorts%lu.size=unexpected error=%lu\n", level, GetLastError());
        return false;
    }
    BYTE* buffer = static_cast<BYTE*>(calloc(1, needed));
    if (buffer == NULL)
        return false;
    bool ok = monitor->pfnEnumPorts(NULL, level, buffer, needed, &needed, &count) != FALSE;
    if (!ok) {
        printf("EnumPorts%lu=failed error=%lu\n", level, GetLastError());
    } else {
        printf("EnumPorts%lu.count=%lu\n", level, count);
        for (DWORD i = 0; i < count; i++) {
            if (level == 1) {
                printf("Port1=%s\n", reinterpret_cast<PORT_INFO_1A*>(buffer)[i].pName);
            } else {
                PORT_INFO_2A* info = reinterpret_cast<PORT_INFO_2A*>(buffer) + i;
                printf("Port2=%s monitor=[%s] description=[%s] type=%lu\n", info->pPortName,
                       info->pMonitorName, info->pDescription, info->fPortType);
            }
        }
    }
    free(buffer);
    return ok;
}

int EnumeratePorts() {
    MONITOR monitor;
    if (!LoadMonitor(&monitor))
        return 1;
    bool ok = EnumLevel(&monitor, 1);
    ok = EnumLevel(&monitor, 2) && ok;
    return ok ? 0 : 1;
}

int PrintJob(const char* portName, const char* text) {
    MONITOR monitor;
    if (!LoadMonitor(&monitor))
        return 1;
    static char port[256];
    static char printer[] = "Draftaire K9";
    snprintf(port, sizeof(port), "%s", portName);
    HANDLE handle = NULL;
    if (!monitor.pfnOpenPort(port, &handle))
        return Fail("OpenPort");
    printf("OpenPort=ok\n");
    static char docName[] = "vtxspool";
    static char datatype[] = "RAW";
    DOC_INFO_1A doc = {docName, NULL, datatype};
    int status = 0;
    if (!monitor.pfnStartDocPort(handle, printer, 1, 1, reinterpret_cast<LPBYTE>(&doc))) {
        status = Fail("StartDocPort");
    } else {
        printf("StartDocPort=ok\n");
        DWORD length = static_cast<DWORD>(strlen(text));
        DWORD written = 0;
        BOOL wrote = monitor.pfnWritePort(handle, reinterpret_cast<LPBYTE>(const_cast<char*>(text)),
                                          length, &written);
        if (wrote)
            printf("WritePort=ok written=%lu\n", written);
        else
            status = Fail("WritePort");
        if (monitor.pfnEndDocPort(handle))
            printf("EndDocPort=ok\n");
        else
            status = Fail("EndDocPort");
    }
    if (monitor.pfnClosePort(handle))
        printf("ClosePort=ok\n");
    else
        status = Fail("ClosePort");
    return status;
}

// Another program holds the device open exclusively: the job cannot start, and the port stays
// usable for a later try.
int StartWhileHeld(const char* portName, const char* devicePath) {
    MONITOR monitor;
    if (!LoadMonitor(&monitor))
        return 1;
    HANDLE device =
        CreateFileA(devicePath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (device == INVALID_HANDLE_VALUE)
        return Fail("CreateFileA");
    static char port[256];
    static char printer[] = "Draftaire K9";
    snprintf(port, sizeof(port), "%s", portName);
    HANDLE handle = NULL;
    if (!monitor.pfnOpenPort(port, &handle)) {
        CloseHandle(device);
        return Fail("OpenPort");
    }
    int status = 0;
    SetLastError(0xdead);
    if (monitor.pfnStartDocPort(handle, printer, 1, 1, NULL)) {
        printf("StartDocPort=ok\n");
        monitor.pfnEndDocPort(handle);
        status = 1;
    } else {
        Fail("StartDocPort");
    }
    CloseHandle(device);
    if (monitor.pfnStartDocPort(handle, printer, 2, 1, NULL)) {
        printf("StartDocPort.again=ok\n");
        monitor.pfnEndDocPort(handle);
    } else {
        status = Fail("StartDocPort.again");
    }
    monitor.pfnClosePort(handle);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc == 5 && strcmp(argv[1], "device") == 0)
        return MakeDevice(argv[2], argv[3], argv[4]);
    if (argc == 2 && strcmp(argv[1], "enum") == 0)
        return EnumeratePorts();
    if (argc == 4 && strcmp(argv[1], "print") == 0)
        return PrintJob(argv[2], argv[3]);
    if (argc == 4 && strcmp(argv[1], "held") == 0)
        return StartWhileHeld(argv[2], argv[3]);
    fprintf(stderr, "usage: vtxspool device <instance id> <serial> <product> | enum | "
                    "print <port> <text> | held <port> <device path>\n");
    return 2;
}
