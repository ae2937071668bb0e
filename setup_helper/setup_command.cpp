// Setup command line: the setup program's path with its " -vtregistry=" option, and the
// parameter string " -v <name>=<value> ..." stored for it as "CmdLine".
#include "common/bounded_text.h"
#include "common/model_remainder.h"
#include "common/product_names.h"
#include "platform/win32api.h"
#include "setup_helper/helper.h"

#define BUS_TYPE_PIECE " -v bustype=usb"
// The widest number a status piece can carry: "-2147483648".
#define STATUS_NUMBER_WIDTH 11

BOOL AppendParameterPiece(LPSTR destination, DWORD room, LPCSTR label, LPCSTR text) {
    DWORD length = TextLength(destination);
    if (TextAppend(destination, room, label) && TextAppend(destination, room, text))
        return TRUE;
    destination[length] = '\0';
    return FALSE;
}

// A value that does not fit whole counts as unreadable: cut, the setup program would act on
// another option than the maker's.
DWORD AppendSetupParameters(LPSTR destination, DWORD room) {
    CHAR value[HELPER_TEXT_SIZE];
    DWORD type = 0;
    value[0] = '\0';
    DWORD rc = ReadModelValue(ModelKeyPath, "SetupParameters", &type, value);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (!AppendParameterPiece(destination, room, "", value))
        return ERROR_MORE_DATA;
    return ERROR_SUCCESS;
}

// A port name found but too long for the room is left out; the search itself succeeded.
DWORD AppendPortName(LPSTR destination, DWORD room) {
    CHAR portName[HELPER_TEXT_SIZE];
    DWORD type = 0;
    portName[0] = '\0';
    DWORD rc = ReadModelValue(ModelKeyPath, "PortName", &type, portName);
    if (rc != ERROR_SUCCESS)
        return rc;
    AppendParameterPiece(destination, room, " -v port=", portName);
    return ERROR_SUCCESS;
}

static DWORD DecimalWidth(LONG number) {
    CHAR digits[16];
    digits[0] = '\0';
    TextAppendDecimal(digits, sizeof(digits), number);
    return TextLength(digits);
}

// The bytes the optional pieces may fill: the status pieces always go on whole after them. The
// error number is not settled while ErrorCode is 0 (the port search may still set it), so the
// widest number is kept for it then.
static DWORD OptionalPieceRoom(void) {
    DWORD errorWidth = ErrorCode != 0 ? DecimalWidth(ErrorCode) : STATUS_NUMBER_WIDTH;
    DWORD status = TextLength(" -v dialog=") + DecimalWidth(DialogCode) + TextLength(" -v error=") +
                   errorWidth + TextLength(" -v abort=") + DecimalWidth(AbortFlag);
    return PARAMETER_STRING_SIZE - status;
}

static void AppendNumberPiece(LPSTR destination, LPCSTR label, LONG number) {
    CHAR digits[16];
    digits[0] = '\0';
    TextAppendDecimal(digits, sizeof(digits), number);
    AppendParameterPiece(destination, PARAMETER_STRING_SIZE, label, digits);
}

void AppendBusType(LPSTR destination) {
    AppendParameterPiece(destination, PARAMETER_STRING_SIZE, BUS_TYPE_PIECE, "");
}

void AppendModel(LPSTR destination, DWORD room, LPCSTR text) {
    if (text != NULL && text[0] != '\0')
        AppendParameterPiece(destination, room, " -v model=", text);
}

void AppendSerial(LPSTR destination, DWORD room, LPCSTR text) {
    if (text != NULL && text[0] != '\0')
        AppendParameterPiece(destination, room, " -v serial=", text);
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

// Each optional piece goes in whole or not at all, in order, within the room the status pieces
// leave; the setup parameters also leave room for the bus type, which always goes.
DWORD BuildParameterString(LPSTR destination) {
    DWORD room = OptionalPieceRoom();
    destination[0] = '\0';
    AppendSetupParameters(destination, room - TextLength(BUS_TYPE_PIECE));
    AppendBusType(destination);
    DWORD result = AppendPortName(destination, room);
    AppendModel(destination, room, DeviceModel);
    AppendSerial(destination, room, DeviceSerial);
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
    if (!TextCopy(keyPath, sizeof(keyPath), SETUP_KEYS) ||
        !TextAppend(keyPath, sizeof(keyPath), remainder) ||
        !TextAppend(keyPath, sizeof(keyPath), "\\") ||
        !TextAppend(keyPath, sizeof(keyPath), DeviceSerial))
        return ERROR_MORE_DATA;

    LONG rc = RegCreateKeyA(HKEY_LOCAL_MACHINE, MAKER_KEY SETUP_KEYS_NAME, &setupKey);
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

// " -vtregistry=<remainder>\<serial>" completes the program path; FALSE, with the path left
// empty, when there is no remainder or the whole does not fit.
static BOOL AppendRegistryOption(LPCSTR remainder) {
    if (remainder == NULL || !TextAppend(SetupProgramPath, HELPER_TEXT_SIZE, " -vtregistry=") ||
        !TextAppend(SetupProgramPath, HELPER_TEXT_SIZE, remainder) ||
        !TextAppend(SetupProgramPath, HELPER_TEXT_SIZE, "\\") ||
        !TextAppend(SetupProgramPath, HELPER_TEXT_SIZE, DeviceSerial)) {
        SetupProgramPath[0] = '\0';
        return FALSE;
    }
    return TRUE;
}

// A program path that does not fit is never queued; the setup program hears why unless an
// earlier failure is what it is told.
static void RefuseProgramPath(void) {
    SetupProgramPath[0] = '\0';
    if (ErrorCode == 0)
        ErrorCode = HELPER_ERROR_PATH_TOO_LONG;
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
        AppendRegistryOption(remainder);
        return;
    }
    // The path is settled first, so that a refused one is reported in the parameters. A value
    // too long for its buffer cannot be part of the path either; other read errors are not
    // reported and leave no path, since it would name a directory or a part of a name.
    if (rc == ERROR_MORE_DATA)
        RefuseProgramPath();
    else if (rc != ERROR_SUCCESS)
        SetupProgramPath[0] = '\0';
    else if (!AppendRegistryOption(remainder) && remainder != NULL)
        RefuseProgramPath();

    // The port search's code is reported only when nothing failed before it: a failed
    // registration or an unsupported platform is what the setup program must be told.
    DWORD portResult = BuildParameterString(SetupParameterString);
    if (portResult != ERROR_SUCCESS && ErrorCode == 0)
        ErrorCode = (LONG)portResult;
    AppendError(SetupParameterString, ErrorCode);
    AppendAbort(SetupParameterString, AbortFlag);
    StoreCmdLine(remainder);
}
