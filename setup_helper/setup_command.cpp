// Setup command line: the setup program's path with its " -vtregistry=" option, and the
// parameter string " -v <name>=<value> ..." stored for it as "CmdLine".
#include "platform/bounded_text.h"
#include "platform/win32api.h"
#include "setup_helper/helper.h"

#define SETUP_KEY_BASE "Software\\Kelvara\\VTX"

// The parameter string is only reported to the setup program, so each piece is cut at the
// buffer's end when it does not fit; the pieces after it are then lost.
static void AppendPiece(LPSTR destination, LPCSTR label, LPCSTR text) {
    TextAppendCut(destination, PARAMETER_STRING_SIZE, label);
    TextAppendCut(destination, PARAMETER_STRING_SIZE, text);
}

static void AppendNumberPiece(LPSTR destination, LPCSTR label, LONG number) {
    CHAR digits[16];
    digits[0] = '\0';
    TextAppendDecimal(digits, sizeof(digits), number);
    AppendPiece(destination, label, digits);
}

void AppendBusType(LPSTR destination) {
    AppendPiece(destination, " -v bustype=", "usb");
}

void AppendModel(LPSTR destination, LPCSTR text) {
    if (text != NULL && text[0] != '\0')
        AppendPiece(destination, " -v model=", text);
}

void AppendSerial(LPSTR destination, LPCSTR text) {
    if (text != NULL && text[0] != '\0')
        AppendPiece(destination, " -v serial=", text);
}

void AppendDialog(LPSTR destination, LONG number) {
    AppendNumberPiece(destination, " -v dialog=", number);
}

void AppendError(LPSTR destination, LONG number) {
    AppendNumberPiece(destination, " -v error=", number);
}

void AppendAbort(LPSTR destination, LONG number) {
    AppendNumberPiece(destination, " -v abort=", number);
}

DWORD BuildParameterString(LPSTR destination) {
    destination[0] = '\0';
    AppendSetupParameters(destination);
    AppendBusType(destination);
    DWORD result = AppendPortName(destination);
    AppendModel(destination, DeviceModel);
    AppendSerial(destination, DeviceSerial);
    AppendDialog(destination, DialogCode);
    return result;
}

// "Software\Kelvara\VTX\<remainder>\<serial>". Without a remainder nothing is written: the value
// would land one level too high, below "VTX" itself. A key path that would not fit 259
// characters is refused too, since the removal could not name it.
DWORD StoreCmdLine(LPCSTR remainder) {
    CHAR keyPath[HELPER_TEXT_SIZE];
    HKEY setupKey;
    HKEY modelKey;
    HKEY deviceKey;
    if (remainder == NULL || remainder[0] == '\0')
        return ERROR_FILE_NOT_FOUND;
    keyPath[0] = '\0';
    if (!TextCopy(keyPath, sizeof(keyPath), SETUP_KEY_BASE "\\") ||
        !TextAppend(keyPath, sizeof(keyPath), remainder) ||
        !TextAppend(keyPath, sizeof(keyPath), "\\") ||
        !TextAppend(keyPath, sizeof(keyPath), DeviceSerial))
        return ERROR_MORE_DATA;

    LONG rc = RegCreateKeyA(HKEY_LOCAL_MACHINE, SETUP_KEY_BASE, &setupKey);
    if (rc != ERROR_SUCCESS)
        return (DWORD)rc;
    rc = RegCreateKeyA(setupKey, remainder, &modelKey);
    if (rc != ERROR_SUCCESS) {
        RegCloseKey(setupKey);
        return (DWORD)rc;
    }
    rc = RegCreateKeyA(modelKey, DeviceSerial, &deviceKey);
    if (rc != ERROR_SUCCESS) {
        RegCloseKey(modelKey);
        RegCloseKey(setupKey);
        return (DWORD)rc;
    }
    RegSetValueExA(deviceKey, "CmdLine", 0, REG_SZ, (const BYTE*)SetupParameterString,
                   (DWORD)lstrlenA(SetupParameterString) + 1);
    RegCloseKey(deviceKey);
    RegCloseKey(modelKey);
    RegCloseKey(setupKey);
    return ERROR_SUCCESS;
}

// " -vtregistry=<remainder>\<serial>" completes the program path when there is a remainder and
// the whole fits; otherwise the path is left empty and nothing is queued for it.
static void AppendRegistryOption(LPCSTR remainder) {
    if (remainder == NULL || !TextAppend(SetupProgramPath, HELPER_TEXT_SIZE, " -vtregistry=") ||
        !TextAppend(SetupProgramPath, HELPER_TEXT_SIZE, remainder) ||
        !TextAppend(SetupProgramPath, HELPER_TEXT_SIZE, "\\") ||
        !TextAppend(SetupProgramPath, HELPER_TEXT_SIZE, DeviceSerial))
        SetupProgramPath[0] = '\0';
}

void BuildSetupCommand(void) {
    CHAR execFile[HELPER_TEXT_SIZE];
    SetupProgramPath[0] = '\0';
    DWORD rc = ReadSetupRootPath(SetupProgramPath, SetupRoot);
    if (rc == ERROR_SUCCESS)
        rc = ReadSetupExecFile(SetupProgramPath, execFile);
    LPCSTR remainder = ModelRemainderOf(DeviceModel);

    if (rc == HELPER_ERROR_SETUP_EMPTY || rc == HELPER_ERROR_NOT_FOUND) {
        ErrorCode = (LONG)rc;
    } else {
        // Other read errors (a value too long, say) are not reported; the parameters still go.
        // The port search's code is reported only when nothing failed before it: a failed
        // registration or an unsupported platform is what the setup program must be told.
        DWORD portResult = BuildParameterString(SetupParameterString);
        if (portResult != ERROR_SUCCESS && ErrorCode == 0)
            ErrorCode = (LONG)portResult;
        AppendError(SetupParameterString, ErrorCode);
        AppendAbort(SetupParameterString, AbortFlag);
        StoreCmdLine(remainder);
    }

    // The option goes on whatever was read; only a path cut short by another read error is
    // dropped, since it would be queued to run a directory or a part of a name.
    if (rc == ERROR_SUCCESS || rc == HELPER_ERROR_SETUP_EMPTY || rc == HELPER_ERROR_NOT_FOUND)
        AppendRegistryOption(remainder);
    else
        SetupProgramPath[0] = '\0';
}
