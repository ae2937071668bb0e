// vtxspool under Wine: device interfaces made through SetupDi as the USB driver's installation
// would, the monitor loaded by file name, and a stand-in for the shell.
//
//   vtxspool device <instance id> <serial> <product>   make an enabled interface, print its path
//   vtxspool shell <wait|nowait> <command line>        own a "Progman" window while the command
//                                                      runs; "wait": then wait for setup.exe
//   vtxspool export <key below HKLM>...                those keys as the simulator's export
//                                                      writes them, read while Wine runs (its
//                                                      registry files wait for the session's end)
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

// The simulator's REGEDIT4 forms: text only where reading it back gives the same bytes.
void PrintQuoted(const char* text, DWORD length) {
    putchar('"');
    for (DWORD i = 0; i < length; ++i) {
        if (text[i] == '\\' || text[i] == '"')
            putchar('\\');
        putchar(text[i]);
    }
    putchar('"');
}

bool WritableAsText(DWORD type, const BYTE* data, DWORD size) {
    if (type != REG_SZ || size == 0 || data[size - 1] != 0)
        return false;
    for (DWORD i = 0; i + 1 < size; ++i) {
        if (data[i] == 0 || data[i] == '\r' || data[i] == '\n')
            return false;
    }
    return true;
}

void PrintValue(const char* name, DWORD nameLength, DWORD type, const BYTE* data, DWORD size) {
    if (nameLength == 0) {
        printf("@=");
    } else {
        PrintQuoted(name, nameLength);
        putchar('=');
    }
    if (WritableAsText(type, data, size)) {
        PrintQuoted(reinterpret_cast<const char*>(data), size - 1);
    } else if (type == REG_DWORD && size == 4) {
        printf("dword:%08lx", static_cast<unsigned long>(data[0] | data[1] << 8 | data[2] << 16 |
                                                         static_cast<DWORD>(data[3]) << 24));
    } else {
        if (type == REG_BINARY)
            printf("hex:");
        else
            printf("hex(%lx):", static_cast<unsigned long>(type));
        for (DWORD i = 0; i < size; ++i)
            printf(i ? ",%02x" : "%02x", data[i]);
    }
    putchar('\n');
}

void ExportKey(HKEY parent, const char* path) {
    HKEY key;
    if (RegOpenKeyExA(parent, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    printf("[HKEY_LOCAL_MACHINE\\%s]\n", path);
    static char name[16384];
    static BYTE data[65536];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof(name);
        DWORD size = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueA(key, index, name, &nameLength, NULL, &type, data, &size) != ERROR_SUCCESS)
            break;
        PrintValue(name, nameLength, type, data, size);
    }
    putchar('\n');
    char subkey[260];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof(subkey);
        if (RegEnumKeyExA(key, index, subkey, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        size_t pathLength = strlen(path);
        char* child = static_cast<char*>(malloc(pathLength + length + 2));
        if (child == NULL)
            break;
        memcpy(child, path, pathLength);
        child[pathLength] = '\\';
        memcpy(child + pathLength + 1, subkey, length + 1);
        ExportKey(HKEY_LOCAL_MACHINE, child);
        free(child);
    }
    RegCloseKey(key);
}

int Export(int count, char** paths) {
    printf("REGEDIT4\n\n");
    for (int i = 0; i < count; ++i)
        ExportKey(HKEY_LOCAL_MACHINE, paths[i]);
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
    if (argc >= 2 && strcmp(argv[1], "export") == 0)
        return Export(argc - 2, argv + 2);
    return -1;
}
