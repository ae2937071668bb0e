// vtxspool: a small stand-in for the Windows 9x spooler, for the Wine tests. It loads the real
// vtxpmo01.dll, calls InitializeMonitorEx and drives the monitor's operations as the spooler
// does. Each step prints one "name=value" line; the test runs the same commands under Wine and
// on the simulated machine and compares the lines.
//
//   vtxspool enum                          every port at levels 1 and 2
//   vtxspool sizes                         the size negotiation and layout of EnumPorts
//   vtxspool open <port>                   OpenPort and ClosePort rules
//   vtxspool unsupported <port>            the operations the monitor does not carry out
//   vtxspool print <port> <text>           one job writing text to the port
//   vtxspool held <port> <device path>     start a job while another holds the device
// and the machine's own commands (standin_win32.cpp, standin_sim.cpp).
#include "tests/wine/standin.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

using standin::Fail;

// DOC_INFO_1A, which the spooler hands to StartDocPort.
struct DocInfo1 {
    LPSTR pDocName;
    LPSTR pOutputFile;
    LPSTR pDatatype;
};

const char kMonitorRoot[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\vtxspool";

unsigned long Num(DWORD value) {
    return static_cast<unsigned long>(value);
}

// The version the monitor sees: Windows ME (4.90) scans the devices again at each job.
void PrintVersion() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (GetVersionExA(&version))
        printf("Version=%lu.%lu\n", Num(version.dwMajorVersion), Num(version.dwMinorVersion));
    else
        Fail("GetVersionExA");
}

bool LoadMonitor(MONITOR* monitor) {
    PrintVersion();
    static char root[sizeof(kMonitorRoot)];
    memcpy(root, kMonitorRoot, sizeof(kMonitorRoot));
    return standin::LoadMonitor(root, monitor);
}

// What a buffer of the 32-bit spooler needs for what a buffer here needed: the records of a
// 64-bit build are wider, the strings are the same.
DWORD NeededIn32Bits(DWORD needed, DWORD level, DWORD count) {
    DWORD wider = level == 1 ? sizeof(PORT_INFO_1A) - 4 : sizeof(PORT_INFO_2A) - 20;
    return needed - count * wider;
}

// Where a string of the buffer begins, counted from the buffer's end (the same for either
// width of the records before it); "none" for NULL, "outside" for a pointer out of the buffer.
void PrintPlace(const char* what, const BYTE* buffer, DWORD size, const char* text) {
    const BYTE* at = reinterpret_cast<const BYTE*>(text);
    if (text == NULL)
        printf(" %s=none", what);
    else if (at < buffer || at >= buffer + size)
        printf(" %s=outside", what);
    else
        printf(" %s=end-%lu", what, Num(static_cast<DWORD>(buffer + size - at)));
}

bool EnumLevel(MONITOR* monitor, DWORD level) {
    DWORD needed = 0;
    DWORD count = 0;
    SetLastError(0);
    if (monitor->pfnEnumPorts(NULL, level, NULL, 0, &needed, &count) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        printf("EnumPorts%lu.size=unexpected error=%lu\n", Num(level), Num(GetLastError()));
        return false;
    }
    BYTE* buffer = static_cast<BYTE*>(calloc(1, needed));
    if (buffer == NULL)
        return false;
    bool ok = monitor->pfnEnumPorts(NULL, level, buffer, needed, &needed, &count) != FALSE;
    if (!ok) {
        printf("EnumPorts%lu=failed error=%lu\n", Num(level), Num(GetLastError()));
    } else {
        printf("EnumPorts%lu.count=%lu\n", Num(level), Num(count));
        for (DWORD i = 0; i < count; i++) {
            if (level == 1) {
                printf("Port1=%s\n", reinterpret_cast<PORT_INFO_1A*>(buffer)[i].pName);
            } else {
                PORT_INFO_2A* info = reinterpret_cast<PORT_INFO_2A*>(buffer) + i;
                printf("Port2=%s monitor=[%s] description=[%s] type=%lu\n", info->pPortName,
                       info->pMonitorName, info->pDescription, Num(info->fPortType));
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

// The spooler's two calls: the size with no buffer, then the buffer. A buffer one byte short
// fails with 122 and leaves the count alone; the exact size packs records from the front and
// strings from the back.
bool NegotiateLevel(MONITOR* monitor, DWORD level) {
    DWORD needed = 0;
    DWORD count = 77;
    SetLastError(0);
    BOOL ok = monitor->pfnEnumPorts(NULL, level, NULL, 0, &needed, &count);
    printf("EnumPorts%lu.query=%s error=%lu count=%lu\n", Num(level), ok ? "ok" : "failed",
           Num(ok ? 0 : GetLastError()), Num(count));
    if (ok || needed == 0)
        return false;
    BYTE* buffer = static_cast<BYTE*>(calloc(1, needed));
    if (buffer == NULL)
        return false;
    DWORD neededShort = 0;
    ok = monitor->pfnEnumPorts(NULL, level, buffer, needed - 1, &neededShort, &count);
    printf("EnumPorts%lu.short=%s error=%lu count=%lu same=%s\n", Num(level), ok ? "ok" : "failed",
           Num(ok ? 0 : GetLastError()), Num(count), neededShort == needed ? "yes" : "no");
    ok = monitor->pfnEnumPorts(NULL, level, buffer, needed, &needed, &count);
    if (!ok) {
        printf("EnumPorts%lu=failed error=%lu\n", Num(level), Num(GetLastError()));
        free(buffer);
        return false;
    }
    printf("EnumPorts%lu.needed=%lu count=%lu\n", Num(level),
           Num(NeededIn32Bits(needed, level, count)), Num(count));
    for (DWORD i = 0; i < count; i++) {
        if (level == 1) {
            const PORT_INFO_1A& info = reinterpret_cast<PORT_INFO_1A*>(buffer)[i];
            printf("Port1.%lu=%s", Num(i), info.pName);
            PrintPlace("name", buffer, needed, info.pName);
        } else {
            const PORT_INFO_2A& info = reinterpret_cast<PORT_INFO_2A*>(buffer)[i];
            printf("Port2.%lu=%s type=%lu reserved=%lu", Num(i), info.pPortName,
                   Num(info.fPortType), Num(info.Reserved));
            PrintPlace("name", buffer, needed, info.pPortName);
            PrintPlace("monitor", buffer, needed, info.pMonitorName);
            PrintPlace("description", buffer, needed, info.pDescription);
        }
        printf("\n");
    }
    free(buffer);
    return true;
}

int NegotiateSizes() {
    MONITOR monitor;
    if (!LoadMonitor(&monitor))
        return 1;
    bool ok = NegotiateLevel(&monitor, 1);
    ok = NegotiateLevel(&monitor, 2) && ok;
    DWORD needed = 5;
    DWORD count = 5;
    BOOL done = monitor.pfnEnumPorts(NULL, 0, NULL, 0, &needed, &count);
    printf("EnumPorts0=%s needed=%lu count=%lu\n", done ? "ok" : "failed", Num(needed), Num(count));
    BYTE byte = 0;
    SetLastError(0);
    done = monitor.pfnEnumPorts(NULL, 3, &byte, 1, &needed, &count);
    printf("EnumPorts3=%s error=%lu\n", done ? "ok" : "failed", Num(done ? 0 : GetLastError()));
    return ok ? 0 : 1;
}

// Names are found without regard to case, and each name has one open record; a name that is
// not a port opens nothing and sets no error of the monitor's own.
int OpenRules(const char* portName) {
    MONITOR monitor;
    if (!LoadMonitor(&monitor))
        return 1;
    static char port[256];
    static char upper[256];
    static char unknown[] = "USB/Draftaire K9/NONE";
    snprintf(port, sizeof(port), "%s", portName);
    snprintf(upper, sizeof(upper), "%s", portName);
    for (char* c = upper; *c != '\0'; c++) {
        if (*c >= 'a' && *c <= 'z')
            *c = static_cast<char>(*c - 'a' + 'A');
    }
    HANDLE first = NULL;
    HANDLE second = NULL;
    HANDLE none = reinterpret_cast<HANDLE>(1);
    BOOL opened = monitor.pfnOpenPort(port, &first);
    printf("OpenPort=%s\n", opened ? "ok" : "failed");
    opened = monitor.pfnOpenPort(upper, &second);
    printf("OpenPort.upper=%s same=%s\n", opened ? "ok" : "failed",
           opened && second == first ? "yes" : "no");
    SetLastError(1234);
    opened = monitor.pfnOpenPort(unknown, &none);
    printf("OpenPort.unknown=%s handle=%s error=%lu\n", opened ? "ok" : "failed",
           none == NULL ? "null" : "set", Num(GetLastError()));
    static char printer[] = "Draftaire K9";
    SetLastError(0);
    BOOL started = monitor.pfnStartDocPort(first, NULL, 1, 1, NULL);
    printf("StartDocPort.noprinter=%s error=%lu\n", started ? "ok" : "failed",
           Num(started ? 0 : GetLastError()));
    started = monitor.pfnStartDocPort(first, printer, 1, 1, NULL);
    printf("StartDocPort=%s\n", started ? "ok" : "failed");
    SetLastError(0);
    BOOL again = monitor.pfnStartDocPort(second, printer, 2, 1, NULL);
    printf("StartDocPort.twice=%s error=%lu\n", again ? "ok" : "failed",
           Num(again ? 0 : GetLastError()));
    if (started)
        printf("EndDocPort=%s\n", monitor.pfnEndDocPort(first) ? "ok" : "failed");
    printf("ClosePort=%s\n", monitor.pfnClosePort(first) ? "ok" : "failed");
    int stranger = 0;
    printf("ClosePort.unknown=%s\n",
           monitor.pfnClosePort(reinterpret_cast<HANDLE>(&stranger)) ? "ok" : "failed");
    return 0;
}

// AddPort and DeletePort refuse with 1803, ConfigurePort and SetPortTimeOuts agree to
// anything, and GetPrinterDataFromPort passes only a control of a started document.
int Unsupported(const char* portName) {
    MONITOR monitor;
    if (!LoadMonitor(&monitor))
        return 1;
    static char port[256];
    static char name[] = "vtxspool";
    snprintf(port, sizeof(port), "%s", portName);
    SetLastError(0);
    BOOL ok = monitor.pfnAddPort(NULL, NULL, name);
    printf("AddPort=%s error=%lu\n", ok ? "ok" : "failed", Num(ok ? 0 : GetLastError()));
    SetLastError(0);
    ok = monitor.pfnDeletePort(NULL, NULL, port);
    printf("DeletePort=%s error=%lu\n", ok ? "ok" : "failed", Num(ok ? 0 : GetLastError()));
    printf("ConfigurePort=%s\n", monitor.pfnConfigurePort(NULL, NULL, port) ? "ok" : "failed");
    printf("OpenPortEx=%s\n", monitor.pfnOpenPortEx == NULL ? "absent" : "present");
    HANDLE handle = NULL;
    if (!monitor.pfnOpenPort(port, &handle))
        return Fail("OpenPort");
    COMMTIMEOUTS timeouts = {};
    printf("SetPortTimeOuts=%s\n",
           monitor.pfnSetPortTimeOuts(handle, &timeouts, 0) ? "ok" : "failed");
    static char out[16];
    DWORD returned = 0;
    SetLastError(0);
    ok = monitor.pfnGetPrinterDataFromPort(handle, 0x00182004, NULL, out, 1, out, 1, &returned);
    printf("GetPrinterDataFromPort.idle=%s error=%lu\n", ok ? "ok" : "failed",
           Num(ok ? 0 : GetLastError()));
    static char printer[] = "Draftaire K9";
    if (monitor.pfnStartDocPort(handle, printer, 1, 1, NULL)) {
        static char valueName[] = "Status";
        SetLastError(0);
        ok = monitor.pfnGetPrinterDataFromPort(handle, 0, valueName, out, 1, out, 1, &returned);
        printf("GetPrinterDataFromPort.byname=%s error=%lu\n", ok ? "ok" : "failed",
               Num(ok ? 0 : GetLastError()));
        monitor.pfnEndDocPort(handle);
    } else {
        Fail("StartDocPort");
    }
    monitor.pfnClosePort(handle);
    return 0;
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
    DocInfo1 doc = {docName, NULL, datatype};
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
            printf("WritePort=ok written=%lu\n", Num(written));
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

int standin::Fail(const char* step) {
    printf("%s=failed error=%lu\n", step, Num(GetLastError()));
    return 1;
}

int main(int argc, char** argv) {
    setvbuf(stdout, NULL, _IONBF, 0);
    int machine = standin::RunMachineCommand(argc, argv);
    if (machine >= 0)
        return machine;
    if (argc == 2 && strcmp(argv[1], "enum") == 0)
        return EnumeratePorts();
    if (argc == 2 && strcmp(argv[1], "sizes") == 0)
        return NegotiateSizes();
    if (argc == 3 && strcmp(argv[1], "open") == 0)
        return OpenRules(argv[2]);
    if (argc == 3 && strcmp(argv[1], "unsupported") == 0)
        return Unsupported(argv[2]);
    if (argc == 4 && strcmp(argv[1], "print") == 0)
        return PrintJob(argv[2], argv[3]);
    if (argc == 4 && strcmp(argv[1], "held") == 0)
        return StartWhileHeld(argv[2], argv[3]);
    fprintf(stderr, "usage: vtxspool enum | sizes | open <port> | unsupported <port> | "
                    "print <port> <text> | held <port> <device path> | <machine command>\n");
    return 2;
}
