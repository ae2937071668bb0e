// Device discovery: one pass over the driver's device interfaces, naming a port for each from
// the values on the interface's registry key, and the staleness rule that decides when the port
// table is rebuilt by a new pass.
#include "port_monitor/monitor.h"
#include "common/bounded_text.h"
#include "common/product_names.h"
#include "common/registry_text.h"

#define PORT_NAME_PREFIX "USB/"
#define DEFAULT_PORT_NAME PORT_NAME_PREFIX "Draftaire/Unknown"

#define VALUE_READ 0
#define VALUE_UNREADABLE 1
// The value is there but does not fit its buffer: longer than it, or filling it without a
// terminator.
#define VALUE_UNFIT 2

// A registry call counts as accepted when it returns 0 or 122; 234 (more data) does not.
static BOOL Accepted(LONG result) {
    return result == ERROR_SUCCESS || result == ERROR_INSUFFICIENT_BUFFER;
}

// The whole buffer is offered and zeroed first: a value that fills it without a terminator is
// refused rather than cut into a name that could be another device's.
static DWORD ReadTextValue(HKEY key, LPCSTR valueName, LPSTR buffer, DWORD size) {
    LONG result = ReadRegistryText(key, valueName, NULL, buffer, size, size,
                                   REGISTRY_TEXT_ZEROED | REGISTRY_TEXT_SHORT_BUFFER_READ);
    if (result == ERROR_MORE_DATA)
        return VALUE_UNFIT;
    if (result != ERROR_SUCCESS)
        return VALUE_UNREADABLE;
    return VALUE_READ;
}

static BOOL WritePortName(HKEY key, LPCSTR name) {
    LONG result =
        RegSetValueExA(key, "PortName", 0, REG_SZ, (const BYTE*)name, TextLength(name) + 1);
    return Accepted(result);
}

// "USB/" + Product + "/" + SerialNumber; FALSE when a value is missing or the name would not fit.
static BOOL ComposePortName(HKEY key, LPSTR name, DWORD nameSize) {
    CHAR serial[PORT_NAME_SIZE];
    CHAR product[PORT_NAME_SIZE];
    if (ReadTextValue(key, "SerialNumber", serial, sizeof(serial)) != VALUE_READ)
        return FALSE;
    if (ReadTextValue(key, "Product", product, sizeof(product)) != VALUE_READ)
        return FALSE;
    return TextCopy(name, nameSize, PORT_NAME_PREFIX) && TextAppend(name, nameSize, product) &&
           TextAppend(name, nameSize, "/") && TextAppend(name, nameSize, serial);
}

// FALSE when the interface must be skipped: no port for it in this pass.
BOOL ReadInterfaceValues(HKEY key, LPSTR name, DWORD nameSize, LPDWORD enabled) {
    CHAR className[CLASS_NAME_SIZE];
    DWORD classSize = sizeof(className);
    DWORD valueCount = 0;
    LONG result = RegQueryInfoKeyA(key, className, &classSize, NULL, NULL, NULL, NULL, &valueCount,
                                   NULL, NULL, NULL, NULL);
    if (!Accepted(result))
        return FALSE;

    if (valueCount == 0) {
        // A key the driver left empty: the default name, written so that it is kept.
        *enabled = ENABLED_WHEN_UNREAD;
        return TextCopy(name, nameSize, DEFAULT_PORT_NAME) && WritePortName(key, name);
    }

    // A stored PortName is used as it is, whatever its form, and never rewritten: one that does
    // not fit is not ours to replace, and the interface gets no port.
    DWORD read = ReadTextValue(key, "PortName", name, nameSize);
    if (read == VALUE_UNFIT)
        return FALSE;
    if (read == VALUE_UNREADABLE) {
        if (!ComposePortName(key, name, nameSize) || !WritePortName(key, name))
            return FALSE;
    }

    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExA(key, "Enabled", NULL, NULL, (LPBYTE)&value, &size) != ERROR_SUCCESS)
        return FALSE;
    *enabled = value;
    return TRUE;
}

// The interface detail with its device path, terminated, or NULL when it cannot be had.
static PSP_DEVICE_INTERFACE_DETAIL_DATA_A ReadInterfaceDetail(HDEVINFO set,
                                                              PSP_DEVICE_INTERFACE_DATA data) {
    DWORD required = 0;
    // The size query fails with 122 by design; any other outcome means no usable size.
    if (SetupDiGetDeviceInterfaceDetailA(set, data, NULL, 0, &required, NULL) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return NULL;
    if (required <= sizeof(DWORD) || required == 0xFFFFFFFF)
        return NULL;
    // One byte more than asked, zeroed: the path ends inside the block whatever the driver wrote.
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail =
        (PSP_DEVICE_INTERFACE_DETAIL_DATA_A)AllocZeroed(required + 1);
    if (detail == NULL)
        return NULL;
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, data, detail, required, NULL, NULL)) {
        FreeBlock(detail);
        return NULL;
    }
    return detail;
}

static HKEY OpenInterfaceKey(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data) {
    HKEY key = SetupDiOpenDeviceInterfaceRegKey(set, data, 0, KEY_ALL_ACCESS);
    if (key == NULL || key == (HKEY)INVALID_HANDLE_VALUE)
        key = SetupDiCreateDeviceInterfaceRegKeyA(set, data, 0, KEY_ALL_ACCESS, NULL, NULL);
    if (key == (HKEY)INVALID_HANDLE_VALUE)
        key = NULL;
    return key;
}

// The entry this interface had from an earlier pass: its name and its device path. Only the
// Windows ME document scan, which does not clear the table, finds one.
static PortEntry* FindOwnEntry(LPCSTR name, LPCSTR devicePath) {
    for (PortEntry* entry = PortTable; entry != NULL; entry = entry->next) {
        if (entry->devicePath != NULL && TextEqualAsciiNoCase(entry->name, name) &&
            TextEqual(entry->devicePath, devicePath))
            return entry;
    }
    return NULL;
}

// An interface whose name matches an enabled entry updates it (the later interface wins); one
// that already has its own entry updates that; any other gets an entry of its own.
static void RecordInterface(LPCSTR name, LPCSTR devicePath, DWORD enabled) {
    PortEntry* entry = FindPortEntry(name);
    if (entry == NULL)
        entry = FindOwnEntry(name, devicePath);
    if (entry == NULL) {
        AddPortEntry(name, MonitorName, devicePath, enabled);
        return;
    }
    entry->enabled = enabled;
    if (entry->devicePath != NULL && TextEqual(entry->devicePath, devicePath))
        return;
    FreeBlock(entry->devicePath);
    entry->devicePath = DupString(devicePath);
}

static void AddInterface(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data) {
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail = ReadInterfaceDetail(set, data);
    if (detail == NULL)
        return;
    CHAR name[PORT_NAME_SIZE];
    DWORD enabled = ENABLED_WHEN_UNREAD;
    BOOL usable = TRUE;
    HKEY key = OpenInterfaceKey(set, data);
    if (key != NULL) {
        usable = ReadInterfaceValues(key, name, sizeof(name), &enabled);
        RegCloseKey(key);
    } else {
        usable = TextCopy(name, sizeof(name), DEFAULT_PORT_NAME);
    }
    if (usable)
        RecordInterface(name, detail->DevicePath, enabled);
    FreeBlock(detail);
}

void ScanDevices(void) {
    // Every registered interface, attached or not: no DIGCF_PRESENT.
    HDEVINFO set = SetupDiGetClassDevsA(&InterfaceClassGuid, NULL, NULL, DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return;
    for (DWORD index = 0;; index++) {
        SP_DEVICE_INTERFACE_DATA data;
        MemoryZero(&data, sizeof(data));
        data.cbSize = sizeof(data);
        // The first failure, whatever its reason, ends the pass; a skipped interface still
        // uses up its index.
        if (!SetupDiEnumDeviceInterfaces(set, NULL, &InterfaceClassGuid, index, &data))
            break;
        AddInterface(set, &data);
    }
    SetupDiDestroyDeviceInfoList(set);
}

void RescanIfStale(void) {
    DWORD now = GetTickCount();
    // Unsigned difference: the wrap of the tick count after 49.7 days does no harm.
    if (now - LastScanTick > STALE_AFTER_MS) {
        LastScanTick = now;
        ClearPortTable();
        ScanDevices();
    }
}

BOOL IsPortKnown(LPCSTR name) {
    RescanIfStale();
    return FindPortEntry(name) != NULL;
}
