// Removal sequence: deletes the registry keys of one removed device and, when it was the last of
// its type, model and driver set, the keys, services, class keys, INF file and driver files they
// shared. Files in use (the helper itself, the VMM32 library) are queued for deletion at restart.
//
// NOTES
// - Whether a device was the last of its kind comes only from the subkey counts that key removal
//   returns: first for the device type, then for the model below "StaticDeviceConfig".
// - A key path or file path that does not fit its buffer is refused, never cut: a cut serial
//   number, model or file name could name another device's key or file. A refused key step
//   counts as a missing key, a refused file is left alone.
// - "InfPath" comes from the registry; only a bare file name is deleted below the INF directory.
#include "common/bounded_text.h"
#include "common/model_remainder.h"
#include "common/product_names.h"
#include "platform/win32api.h"
#include "setup_helper/removal/removal.h"

// out = first + second + third + fourth (absent pieces left out); FALSE, with out empty, when
// the whole does not fit HELPER_TEXT_SIZE bytes.
static BOOL JoinText(LPSTR out, LPCSTR first, LPCSTR second, LPCSTR third, LPCSTR fourth) {
    out[0] = '\0';
    if ((first == NULL || TextAppend(out, HELPER_TEXT_SIZE, first)) &&
        (second == NULL || TextAppend(out, HELPER_TEXT_SIZE, second)) &&
        (third == NULL || TextAppend(out, HELPER_TEXT_SIZE, third)) &&
        (fourth == NULL || TextAppend(out, HELPER_TEXT_SIZE, fourth)))
        return TRUE;
    out[0] = '\0';
    return FALSE;
}

// A value read whole (the model value reader terminates it within its buffer); anything else
// counts as empty. An empty key path would read the root's own values.
static DWORD ReadDeviceValue(LPCSTR keyPath, LPCSTR valueName, LPSTR data) {
    DWORD type = 0;
    DWORD result = ERROR_FILE_NOT_FOUND;
    data[0] = '\0';
    if (keyPath[0] != '\0')
        result = ReadModelValue(keyPath, valueName, &type, data);
    if (result != ERROR_SUCCESS)
        data[0] = '\0';
    return result;
}

// A name that the INF directory can hold without reaching elsewhere: no separator, drive or "..",
// and no wildcard, which the platform's file deletion may take as a pattern for many files.
static BOOL IsBareFileName(LPCSTR name) {
    return name[0] != '\0' && TextFindChar(name, '\\') == NULL && TextFindChar(name, '/') == NULL &&
           TextFindChar(name, ':') == NULL && TextFind(name, "..") == NULL &&
           TextFindChar(name, '*') == NULL && TextFindChar(name, '?') == NULL;
}

// The driver set's files are "vtx" + a component code + "01" + an extension.
BOOL BuildDriverFilePath(LPSTR out, LPCSTR directory, LPCSTR code, LPCSTR extension) {
    return JoinText(out, directory, "vtx", code, NULL) && TextAppend(out, HELPER_TEXT_SIZE, "01") &&
           TextAppend(out, HELPER_TEXT_SIZE, extension);
}

static void ClearReadOnly(LPCSTR path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(path, attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY);
}

static void DeleteDriverFile(LPCSTR directory, LPCSTR code, LPCSTR extension) {
    CHAR path[HELPER_TEXT_SIZE];
    if (!BuildDriverFilePath(path, directory, code, extension))
        return;
    ClearReadOnly(path);
    DeleteFileA(path);
}

static void QueueDriverFile(LPCSTR directory, LPCSTR code, LPCSTR extension) {
    CHAR path[HELPER_TEXT_SIZE];
    if (!BuildDriverFilePath(path, directory, code, extension))
        return;
    ClearReadOnly(path);
    QueueDeleteAtRestart(path);
}

// RemoveRegistryKey on the path built from up to three pieces; -1, as for a missing path, when
// the path does not fit.
static LONG RemoveKeyBelow(LPCSTR first, LPCSTR second, LPCSTR third, LPCSTR name, LONG mode) {
    CHAR path[HELPER_TEXT_SIZE];
    if (!JoinText(path, first, second, third, NULL))
        return -1;
    return RemoveRegistryKey(path, name, mode);
}

// The type count when its path could not be opened: 0 only when the registry says the type key
// is missing. An existing key that failed to open (access denied, say) may still hold other
// devices of the type, which need the shared keys and files.
static LONG CountOfUnopenedType(LPCSTR typeName) {
    CHAR path[HELPER_TEXT_SIZE];
    HKEY key = NULL;
    if (!JoinText(path, USB_DEVICES_KEY, typeName, NULL, NULL))
        return 1;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key);
    if (rc == ERROR_SUCCESS)
        RegCloseKey(key);
    return rc == ERROR_FILE_NOT_FOUND ? 0 : 1;
}

static BOOL IsKeyPresent(LPCSTR path) {
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return FALSE;
    RegCloseKey(key);
    return TRUE;
}

// Step 10: the INF file, the model key and the device's key below the model.
static void RemoveModelEntries(void) {
    CHAR path[HELPER_TEXT_SIZE];
    LPCSTR remainder = ModelRemainderOf(DeviceModel);

    if (IsBareFileName(InfFileName) && JoinText(path, INF_DIRECTORY, InfFileName, NULL, NULL))
        DeleteFileA(path);
    // Without a model remainder the keys would be the ones a level higher: left alone.
    if (remainder == NULL || remainder[0] == '\0')
        return;
    RemoveKeyBelow(MODEL_KEYS, NULL, NULL, remainder, REMOVE_NAMED_SUBKEY);
    RemoveKeyBelow(SETUP_KEYS, remainder, "\\", DeviceSerial, REMOVE_NAMED_SUBKEY);
}

void RemoveDevice(void) {
    CHAR productId[HELPER_TEXT_SIZE];
    CHAR typeName[HELPER_TEXT_SIZE];
    CHAR driverValue[HELPER_TEXT_SIZE];
    CHAR path[HELPER_TEXT_SIZE];
    LPCSTR instanceName;
    BOOL typeNameBuilt;
    LONG typeCount;
    LONG modelCount;

    if (ReadDeviceValue(ModelKeyPath, "ProductID", productId) != ERROR_SUCCESS)
        return;
    if (DeviceSerial[0] == '\0')
        return;
    InfFileName[0] = '\0';
    driverValue[0] = '\0';
    typeNameBuilt = JoinText(typeName, MAKER_DEVICE_TYPE_PREFIX, productId, NULL, NULL);

    // The driver value names the class instance; it is read before its key goes.
    if (typeNameBuilt && JoinText(path, USB_DEVICES_KEY, typeName, "\\", DeviceSerial))
        ReadDeviceValue(path, "driver", driverValue);

    typeCount = -1;
    if (typeNameBuilt)
        typeCount =
            RemoveKeyBelow(USB_DEVICES_KEY, typeName, NULL, DeviceSerial, REMOVE_NAMED_SUBKEY);
    if (typeCount == -1)
        typeCount = typeNameBuilt ? CountOfUnopenedType(typeName) : 0;

    if (typeNameBuilt)
        RemoveRegistryKey(INTERFACES_KEY_NAME, typeName, REMOVE_MATCHING_INSTANCE);

    instanceName = driverValue + TextSpan(driverValue, PRINTER_CLASS_NAME "\\");
    if (instanceName[0] != '\0')
        RemoveRegistryKey(PRINTER_CLASS_KEY_NAME "\\", instanceName, REMOVE_CLASS_INSTANCE);

    if (typeCount != 0)
        return; // other devices of this type still use what is shared

    modelCount = RemoveRegistryKey(DRIVER_SERVICE_KEY_NAME "\\Parameters\\StaticDeviceConfig\\",
                                   DeviceModel, REMOVE_NAMED_SUBKEY);
    if (InfFileName[0] != '\0')
        RemoveModelEntries();
    if (modelCount != 0)
        return; // another model is still configured, or its configuration cannot be seen

    RemoveRegistryKey(SERVICES_KEY "Class\\", INTERFACE_CLASS_GUID_TEXT, REMOVE_NAMED_SUBKEY);
    RemoveRegistryKey(SERVICES_KEY, DRIVER_SERVICE_NAME, REMOVE_NAMED_SUBKEY);
    if (InfFileName[0] == '\0')
        return;
    RemoveRegistryKey(MAKER_KEY, MODEL_KEYS_NAME, REMOVE_NAMED_SUBKEY);

    DeleteDriverFile(DRIVERS_DIRECTORY, "ubd", ".sys");
    DeleteDriverFile(DRIVERS_DIRECTORY, "iod", ".sys");
    DeleteDriverFile(SYSTEM_DIRECTORY, "cls", ".dll");
    DeleteDriverFile(SYSTEM_DIRECTORY, "pmo", ".dll");
    // The helper is running from its file: it can only go at the next restart.
    QueueDriverFile(SYSTEM_DIRECTORY, "inh", ".exe");

    // The VxD of the I/O driver still registered means the VMM32 library is still needed.
    if (IsKeyPresent(VXD_KEY_NAME))
        return;
    QueueDriverFile(VMM32_DIRECTORY, "vxu", ".dll");
}

// An entry that does not fit is refused by the section update, never cut.
DWORD QueueDeleteAtRestart(LPCSTR path) {
    if (path == NULL || path[0] == '\0')
        return HELPER_ERROR_RENAME_NOT_SAVED;
    return AppendRenameEntry("NUL", path);
}
