// Model value reader: one value of a key below HKEY_LOCAL_MACHINE, read as text into a fixed
// buffer, "PortName" standing for the numbered value that names the device's serial number. The
// install reads the model key's settings with it, the removal the values of a device's keys.
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
