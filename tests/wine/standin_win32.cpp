// vtxspool under Wine: device interfaces made through SetupDi as the USB driver's installation
// would, the monitor loaded by file name, and a stand-in for the shell.
//
//   vtxspool device <instance id> <serial> <product>   make an enabled interface, print its path
//   vtxspool shell <wait|nowait> <command line>        own a "Progman" window while the command
//                                                      runs; "wait": then wait for setup.exe
// Named setup.exe, the program records how it was started (setup.log in its directory) and
// tells a waiting shell.
#include "tests/wine/standin.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const GUID kInterfaceClass = {
    0x5d2f7a10, 0x3c4b, 0x4e8a, {0x9b, 0x61, 0x2f, 0x0c, 0x8e, 0x4d, 0x7a, 0x93}};
const char kSetupStarted[] = "vtxspool-setup-started";

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
        return standin::Fail("SetupDiCreateDeviceInfoList");
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    if (!SetupDiCreateDeviceInfoA(set, instanceId, &kInterfaceClass, NULL, NULL, 0, &device))
        return standin::Fail("SetupDiCreateDeviceInfoA");
    if (!SetupDiRegisterDeviceInfo(set, &device, 0, NULL, NULL, NULL))
        return standin::Fail("SetupDiRegisterDeviceInfo");
    SP_DEVICE_INTERFACE_DATA iface = {};
    iface.cbSize = sizeof(iface);
    if (!SetupDiCreateDeviceInterfaceA(set, &device, &kInterfaceClass, NULL, 0, &iface))
        return standin::Fail("SetupDiCreateDeviceInterfaceA");
    HKEY key = SetupDiCreateDeviceInterfaceRegKeyA(set, &iface, 0, KEY_ALL_ACCESS, NULL, NULL);
    if (key == NULL || key == INVALID_HANDLE_VALUE)
        return standin::Fail("SetupDiCreateDeviceInterfaceRegKeyA");
    DWORD enabled = 1;
    bool written =
        SetText(key, "SerialNumber", serial) && SetText(key, "Product", product) &&
        RegSetValueExA(key, "Enabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enabled),
                       sizeof(enabled)) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (!written)
        return standin::Fail("RegSetValueExA");
    bool listed = PrintDevicePath(set, &iface);
    SetupDiDestroyDeviceInfoList(set);
    return listed ? 0 : standin::Fail("SetupDiGetDeviceInterfaceDetailA");
}

LRESULT CALLBACK ShellProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The shell's desktop window is what the helper looks for; it exists while the command runs.
int RunUnderShell(bool waitForSetup, const char* commandLine) {
    HANDLE started = CreateEventA(NULL, TRUE, FALSE, kSetupStarted);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ShellProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "Progman";
    if (started == NULL || RegisterClassA(&windowClass) == 0)
        return standin::Fail("RegisterClassA");
    HWND desktop = CreateWindowExA(0, "Progman", "Program Manager", 0, 0, 0, 0, 0, NULL, NULL,
                                   windowClass.hInstance, NULL);
    if (desktop == NULL)
        return standin::Fail("CreateWindowExA");
    static char command[1024];
    snprintf(command, sizeof(command), "%s", commandLine);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return standin::Fail("CreateProcessA");
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    printf("Helper=exited code=%lu\n", static_cast<unsigned long>(code));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (waitForSetup) {
        bool signalled = WaitForSingleObject(started, 60000) == WAIT_OBJECT_0;
        printf("Setup=%s\n", signalled ? "started" : "not started");
    }
    DestroyWindow(desktop);
    CloseHandle(started);
    return 0;
}

// By its file: the helper's command line for setup.exe holds no program name.
bool NamedSetup() {
    char program[MAX_PATH] = "";
    GetModuleFileNameA(NULL, program, sizeof(program));
    const char* name = strrchr(program, '\\');
    name = name != NULL ? name + 1 : program;
    return _stricmp(name, "setup.exe") == 0;
}

// setup.exe: where it was started and with what, for the test to compare.
int RecordSetupStart() {
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(directory), directory);
    FILE* log = fopen("setup.log", "w");
    if (log != NULL) {
        fprintf(log, "CommandLine=%s\nDirectory=%s\n", GetCommandLineA(), directory);
        fclose(log);
    }
    HANDLE started = OpenEventA(EVENT_MODIFY_STATE, FALSE, kSetupStarted);
    if (started != NULL) {
        SetEvent(started);
        CloseHandle(started);
    }
    return 0;
}

} // namespace

bool standin::LoadMonitor(char* registryRoot, MONITOR* monitor) {
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
    if (!initialize(registryRoot, monitor)) {
        Fail("InitializeMonitorEx");
        return false;
    }
    printf("InitializeMonitorEx=ok\n");
    return true;
}

int standin::RunMachineCommand(int argc, char** argv) {
    if (NamedSetup())
        return RecordSetupStart();
    if (argc == 5 && strcmp(argv[1], "device") == 0)
        return MakeDevice(argv[2], argv[3], argv[4]);
    if (argc == 4 && strcmp(argv[1], "shell") == 0)
        return RunUnderShell(strcmp(argv[2], "wait") == 0, argv[3]);
    return -1;
}
