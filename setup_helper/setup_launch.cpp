// Setup launch: "setup.exe" started at once when the shell runs and the setup directory holds
// "launch.ini", or the setup program queued in RunOnce for the next logon.
#include "common/bounded_text.h"
#include "common/product_names.h"
#include "platform/win32api.h"
#include "setup_helper/helper.h"

// Builds one of the launch texts from pieces. A path or argument that does not fit is refused
// whole: cut, it would name another file or device.
static BOOL ComposeText(LPSTR out, LPCSTR const* pieces, DWORD count) {
    DWORD i;
    out[0] = '\0';
    for (i = 0; i < count; i++) {
        if (!TextAppend(out, HELPER_TEXT_SIZE, pieces[i])) {
            out[0] = '\0';
            return FALSE;
        }
    }
    return TRUE;
}

static void StartSetupNow(void) {
    CHAR directory[HELPER_TEXT_SIZE];
    CHAR application[HELPER_TEXT_SIZE];
    CHAR commandLine[HELPER_TEXT_SIZE];
    CHAR marker[HELPER_TEXT_SIZE];
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;

    // Without a setup directory the paths below would be relative to ours.
    if (SetupRoot[0] == '\0')
        return;
    LPCSTR directoryPieces[] = {SetupRoot, "..\\"};
    LPCSTR applicationPieces[] = {SetupRoot, "..\\setup.exe"};
    LPCSTR markerPieces[] = {SetupRoot, "launch.ini"};
    LPCSTR commandPieces[] = {" -a\"USB\\", DeviceModel, "\\", DeviceSerial,
                              "\" -b\"",    DeviceModel, "\""};
    if (!ComposeText(directory, directoryPieces, 2) ||
        !ComposeText(application, applicationPieces, 2) || !ComposeText(marker, markerPieces, 2) ||
        !ComposeText(commandLine, commandPieces, 7))
        return;

    HANDLE file =
        CreateFileA(marker, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(file);

    MemoryZero(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    MemoryZero(&process, sizeof(process));
    // The helper does not wait for the setup program; it only lets go of its handles.
    if (CreateProcessA(application, commandLine, NULL, NULL, FALSE, NORMAL_PRIORITY_CLASS, NULL,
                       directory, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

static void QueueSetupAtLogon(void) {
    HKEY key;
    // An empty path means the setup program could not be named in full.
    if (SetupProgramPath[0] == '\0')
        return;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, RUN_ONCE_KEY_NAME, &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, RUN_ONCE_VALUE_NAME, 0, REG_SZ, (const BYTE*)SetupProgramPath,
                   (DWORD)lstrlenA(SetupProgramPath) + 1);
    RegCloseKey(key);
}

void LaunchSetup(void) {
    // A window of class "Progman" exists only while the shell runs.
    if (FindWindowA("Progman", NULL) != NULL)
        StartSetupNow();
    else
        QueueSetupAtLogon();
}
