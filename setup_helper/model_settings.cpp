// Model settings: the values that the maker's installation keeps under the model key, read as
// text into fixed buffers, and the readers that turn them into pieces of the setup command.
#include "common/bounded_text.h"
#include "common/port_serial.h"
#include "common/registry_text.h"
#include "platform/win32api.h"
#include "setup_helper/helper.h"

// A model never lists this many devices; the bound keeps a registry that answers every query
// with ERROR_MORE_DATA from holding the search forever.
#define PORT_NAME_SEARCH_LIMIT 9999

// Queries one value as text into the whole of data (HELPER_TEXT_SIZE bytes), terminated after
// what the registry returned; a value that leaves no room for the terminator does not fit. On
// failure data is empty.
static DWORD QueryTextValue(HKEY key, LPCSTR valueName, LPDWORD type, LPSTR data) {
    return (DWORD)ReadRegistryText(key, valueName, type, data, HELPER_TEXT_SIZE, HELPER_TEXT_SIZE,
                                   0);
}

// "PortName1", "PortName2", ... up to the first that names the serial number: a serial that is
// only part of another's ("AB1" in ".../AB12") would tell the setup program that printer's port.
// The search ends at the first number whose value cannot be read (normally: does not exist); a
// value too long for the buffer does not match and the search goes on past it. An empty serial is
// found in any text, so it takes "PortName1" at once, even the empty text of a missing one.
static DWORD SearchPortName(HKEY key, LPDWORD type, LPSTR data) {
    CHAR valueName[HELPER_TEXT_SIZE];
    DWORD n;
    for (n = 1; n <= PORT_NAME_SEARCH_LIMIT; n++) {
        valueName[0] = '\0';
        TextCopy(valueName, sizeof(valueName), "PortName");
        TextAppendUnsigned(valueName, sizeof(valueName), n);
        DWORD rc = QueryTextValue(key, valueName, type, data);
        if (DeviceSerial[0] == '\0')
            return ERROR_SUCCESS;
        if (rc == ERROR_SUCCESS && PortNamesSerial(data, DeviceSerial))
            return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)
            break;
    }
    data[0] = '\0';
    return HELPER_ERROR_PORT_NOT_FOUND;
}

DWORD ReadModelValue(LPCSTR keyPath, LPCSTR valueName, LPDWORD type, LPSTR data) {
    HKEY key = NULL;
    DWORD result;
    if (data == NULL)
        return ERROR_INVALID_PARAMETER;
    data[0] = '\0';
    // An empty path would name HKEY_LOCAL_MACHINE itself: there is no model key to read (the
    // model key path is left empty when the model has no remainder or does not fit).
    if (keyPath == NULL || keyPath[0] == '\0' || valueName == NULL)
        return ERROR_FILE_NOT_FOUND;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, &key);
    if (rc != ERROR_SUCCESS)
        return (DWORD)rc;
    if (TextEqual(valueName, "PortName"))
        result = SearchPortName(key, type, data);
    else
        result = QueryTextValue(key, valueName, type, data);
    rc = RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return (DWORD)rc;
    return result;
}

DWORD ReadSetupRootPath(LPSTR destination, LPSTR root) {
    DWORD type = 0;
    DWORD rc = ReadModelValue(ModelKeyPath, "SetupRootPath", &type, root);
    if (rc != ERROR_SUCCESS)
        return rc;
    DWORD length = TextLength(root);
    if (length == 0)
        return HELPER_ERROR_SETUP_EMPTY;
    // A root of 259 characters has no room for its backslash; dropping it would join the
    // directory and the file names, so the value is refused as too long.
    if (root[length - 1] != '\\' && !TextAppend(root, HELPER_TEXT_SIZE, "\\")) {
        root[0] = '\0';
        return ERROR_MORE_DATA;
    }
    TextCopy(destination, HELPER_TEXT_SIZE, root);
    return ERROR_SUCCESS;
}

DWORD ReadSetupExecFile(LPSTR destination, LPSTR buffer) {
    DWORD type = 0;
    buffer[0] = '\0';
    DWORD rc = ReadModelValue(ModelKeyPath, "SetupExecFile", &type, buffer);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (buffer[0] == '\0')
        return HELPER_ERROR_SETUP_EMPTY;
    // The path names the program that is run: a cut name would run another one.
    if (!TextAppend(destination, HELPER_TEXT_SIZE, buffer))
        return ERROR_MORE_DATA;
    return ERROR_SUCCESS;
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
