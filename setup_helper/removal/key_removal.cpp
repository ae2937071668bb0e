// Key removal: opens a key path, removes one subkey chosen by a mode, counts the subkeys left and
// deletes the path's own key from its parent when none are. The count tells the removal sequence
// whether other devices still share the key.
//
// NOTES
// - An absent or empty name deletes and reads nothing: the platform's handling of a null or
//   empty subkey name differs (an empty name can mean the key itself).
// - A key whose subkeys cannot be counted is kept and reported as holding one subkey, so that
//   nothing shared with a possibly remaining device is removed after it.
// - The registry is offered 254 bytes for names and values although the buffers hold 260; the
//   buffers are zeroed first, so a value stored without its terminator still ends within them.
#include "common/bounded_text.h"
#include "common/registry_text.h"
#include "platform/win32api.h"
#include "setup_helper/removal/removal.h"

#define REGISTRY_TEXT_OFFERED 254

CHAR InfFileName[HELPER_TEXT_SIZE];

// A name made only of backslashes names no subkey either.
static BOOL IsNamePresent(LPCSTR name) {
    return name != NULL && name[TextSpan(name, "\\")] != '\0';
}

// A text value into a zeroed buffer of HELPER_TEXT_SIZE bytes, of which REGISTRY_TEXT_OFFERED
// are offered: the text always ends within the buffer.
static LONG ReadOfferedText(HKEY key, LPCSTR valueName, LPSTR value) {
    return ReadRegistryText(key, valueName, NULL, value, HELPER_TEXT_SIZE, REGISTRY_TEXT_OFFERED,
                            REGISTRY_TEXT_ZEROED);
}

// Reads the text value valueName of the subkey subkeyName of key into value (HELPER_TEXT_SIZE
// bytes, zeroed first). FALSE when the subkey cannot be opened or the value not read.
static BOOL ReadSubkeyText(HKEY key, LPCSTR subkeyName, LPCSTR valueName, LPSTR value) {
    HKEY subkey = NULL;
    LONG rc;

    MemoryZero(value, HELPER_TEXT_SIZE);
    if (RegOpenKeyExA(key, subkeyName, 0, KEY_ALL_ACCESS, &subkey) != ERROR_SUCCESS)
        return FALSE;
    rc = ReadOfferedText(subkey, valueName, value);
    RegCloseKey(subkey);
    return rc == ERROR_SUCCESS;
}

// Deletes the first subkey of key whose "DeviceInstance" is "USB\" + typeName + "\" + the serial
// number, compared exactly.
static void RemoveMatchingInstance(HKEY key, LPCSTR typeName) {
    CHAR target[HELPER_TEXT_SIZE];
    CHAR subkeyName[HELPER_TEXT_SIZE];
    CHAR value[HELPER_TEXT_SIZE];
    DWORD index;
    BOOL matched = FALSE;

    if (!IsNamePresent(typeName))
        return;
    target[0] = '\0';
    if (!TextAppend(target, sizeof(target), "USB\\") ||
        !TextAppend(target, sizeof(target), typeName) ||
        !TextAppend(target, sizeof(target), "\\") ||
        !TextAppend(target, sizeof(target), DeviceSerial))
        return;

    for (index = 0; !matched; index++) {
        DWORD nameSize = REGISTRY_TEXT_OFFERED;
        LONG rc;
        MemoryZero(subkeyName, sizeof(subkeyName));
        rc = RegEnumKeyExA(key, index, subkeyName, &nameSize, NULL, NULL, NULL, NULL);
        if (rc == ERROR_MORE_DATA)
            continue; // a name too long to read: that subkey cannot be the match
        if (rc != ERROR_SUCCESS)
            break; // ERROR_NO_MORE_ITEMS, or a key that cannot be enumerated
        if (ReadSubkeyText(key, subkeyName, "DeviceInstance", value) && TextEqual(value, target))
            matched = TRUE;
    }
    if (matched)
        RegDeleteKeyA(key, subkeyName);
}

// Deletes the subkey name of key after copying its "InfPath" value to InfFileName. A value that
// cannot be read whole leaves InfFileName as it was.
static void RemoveClassInstance(HKEY key, LPCSTR name) {
    CHAR value[HELPER_TEXT_SIZE];
    HKEY subkey = NULL;

    if (!IsNamePresent(name))
        return;
    if (RegOpenKeyExA(key, name, 0, KEY_ALL_ACCESS, &subkey) != ERROR_SUCCESS)
        return;
    if (ReadOfferedText(subkey, "InfPath", value) == ERROR_SUCCESS)
        TextCopy(InfFileName, sizeof(InfFileName), value);
    RegCloseKey(subkey);
    RegDeleteKeyA(key, name);
}

LONG RemoveRegistryKey(LPCSTR path, LPCSTR name, LONG mode) {
    CHAR lastComponent[HELPER_TEXT_SIZE];
    HKEY currentKey = HKEY_LOCAL_MACHINE;
    DWORD subkeyCount = 0;
    LONG count;

    if (OpenKeyPath(path, &currentKey, lastComponent) != ERROR_SUCCESS ||
        currentKey == HKEY_LOCAL_MACHINE)
        return -1;

    if (mode == REMOVE_NAMED_SUBKEY) {
        if (IsNamePresent(name))
            RegDeleteKeyA(currentKey, name);
    } else if (mode == REMOVE_MATCHING_INSTANCE) {
        RemoveMatchingInstance(currentKey, name);
    } else if (mode == REMOVE_CLASS_INSTANCE) {
        RemoveClassInstance(currentKey, name);
    }

    if (RegQueryInfoKeyA(currentKey, NULL, NULL, NULL, &subkeyCount, NULL, NULL, NULL, NULL, NULL,
                         NULL, NULL) != ERROR_SUCCESS)
        count = 1;
    else if (subkeyCount > 0x7FFFFFFF)
        count = 0x7FFFFFFF;
    else
        count = (LONG)subkeyCount;

    if (count == 0) {
        RegCloseKey(currentKey);
        currentKey = PopParentKey();
        RegDeleteKeyA(currentKey, lastComponent);
    }
    CloseKeyPath(&currentKey);
    return count;
}
