// The registry section: the keys the product and its diagnosis read, exported as Windows 98's
// regedit exports them (REGEDIT4, every key of a subtree as its own "[key]" section, values
// and subkeys in the machine's own enumeration order, long hex data on continued lines), so
// that the one REGEDIT4 reader reads it. Then the "registry-keys" section says, for each key
// asked for, whether it was exported and why not, and names each subkey that could not be.
//
// NOTES
// - A REG_SZ is written as text only when it ends in its terminator and holds no other zero,
//   CR or LF; otherwise as hex(1), so that every value comes back byte for byte.
// - The subtree is bounded in depth and in path length; a key past either is named in the
//   notes, never cut.
#include "common/bounded_text.h"
#include "common/product_names.h"
#include "field_collector/collector.h"

#define EXPORT_DEPTH_LIMIT 32
#define HEX_LINE_WIDTH 76
#define NOTES_SIZE 8192
#define ROOT_NAME "HKEY_LOCAL_MACHINE"

// What the registry-keys section says, gathered while the export is written.
static CHAR Notes[NOTES_SIZE];
static BOOL NotesCut = FALSE;

static void Note(LPCSTR path, LPCSTR what, DWORD error) {
    CHAR line[COLLECTOR_PATH_SIZE + 64];
    CHAR number[16];
    line[0] = '\0';
    number[0] = '\0';
    TextAppendUnsigned(number, sizeof(number), error);
    if (!TextAppend(line, sizeof(line), ROOT_NAME "\\") || !TextAppend(line, sizeof(line), path) ||
        !TextAppend(line, sizeof(line), " ") || !TextAppend(line, sizeof(line), what) ||
        (error != ERROR_SUCCESS &&
         (!TextAppend(line, sizeof(line), " error=") || !TextAppend(line, sizeof(line), number))) ||
        !TextAppend(line, sizeof(line), "\r\n") || !TextAppend(Notes, sizeof(Notes), line))
        NotesCut = TRUE;
}

static BOOL IsText(DWORD type, const BYTE* data, DWORD size) {
    DWORD i;
    if (type != REG_SZ || size == 0 || data[size - 1] != 0)
        return FALSE;
    for (i = 0; i + 1 < size; i++) {
        if (data[i] == 0 || data[i] == '\r' || data[i] == '\n')
            return FALSE;
    }
    return TRUE;
}

// REGEDIT4's quoted text: only '\' and '"' are escaped.
static void WriteRegText(const BYTE* text, DWORD size) {
    DWORD i;
    ReportBytes("\"", 1);
    for (i = 0; i < size; i++) {
        if (text[i] == '\\' || text[i] == '"')
            ReportBytes("\\", 1);
        ReportBytes(text + i, 1);
    }
    ReportBytes("\"", 1);
}

// column: the characters already on the line. A line that reaches the width after a comma
// goes on below, indented by two spaces.
static void WriteHex(const BYTE* data, DWORD size, DWORD column) {
    DWORD i;
    for (i = 0; i < size; i++) {
        ReportHex(data[i], 2);
        column += 2;
        if (i + 1 == size)
            break;
        ReportBytes(",", 1);
        column++;
        if (column >= HEX_LINE_WIDTH) {
            ReportBytes("\\\r\n  ", 5);
            column = 2;
        }
    }
}

static void WriteValue(LPCSTR name, DWORD nameLength, DWORD type, const BYTE* data, DWORD size) {
    CHAR prefix[24];
    DWORD column;
    DWORD number;
    if (nameLength == 0) {
        ReportBytes("@=", 2);
        column = 2;
    } else {
        WriteRegText((const BYTE*)name, nameLength);
        ReportBytes("=", 1);
        column = nameLength + 3; // the quotes may hold escapes: the width is a guide only
    }
    if (IsText(type, data, size)) {
        WriteRegText(data, size - 1);
    } else if (type == REG_DWORD && size == 4) {
        number = (DWORD)data[0] | (DWORD)data[1] << 8 | (DWORD)data[2] << 16 | (DWORD)data[3] << 24;
        ReportText("dword:");
        ReportHex(number, 8);
    } else {
        if (type == REG_BINARY)
            TextCopy(prefix, sizeof(prefix), "hex:");
        else
            wsprintfA(prefix, "hex(%x):", (unsigned)type);
        ReportText(prefix);
        WriteHex(data, size, column + TextLength(prefix));
    }
    ReportBytes("\r\n", 2);
}

// A key's values, each read whole into one buffer sized by the key's own largest value.
static void ExportValues(HKEY key, LPCSTR path) {
    DWORD valueCount = 0;
    DWORD nameMax = 0;
    DWORD dataMax = 0;
    DWORD index;
    LONG rc;
    HGLOBAL buffer;
    LPSTR name;
    LPBYTE data;
    rc = RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, &valueCount, &nameMax, &dataMax,
                          NULL, NULL);
    if (rc != ERROR_SUCCESS) {
        Note(path, "values not read", (DWORD)rc);
        return;
    }
    if (valueCount == 0)
        return;
    buffer = GlobalAlloc(GPTR, nameMax + 1 + dataMax + 1);
    if (buffer == NULL) {
        Note(path, "values not read", ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    name = (LPSTR)buffer;
    data = (LPBYTE)buffer + nameMax + 1;
    for (index = 0;; index++) {
        DWORD nameSize = nameMax + 1;
        DWORD dataSize = dataMax + 1;
        DWORD type = REG_NONE;
        rc = RegEnumValueA(key, index, name, &nameSize, NULL, &type, data, &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_MORE_DATA) {
            // A value that grew since the sizes were taken: the others still come.
            Note(path, "a value not read", (DWORD)rc);
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            // The key itself failed (deleted meanwhile): every further index would too.
            Note(path, "values not all read", (DWORD)rc);
            break;
        }
        WriteValue(name, nameSize, type, data, dataSize);
    }
    GlobalFree(buffer);
}

// path: the key's path below HKEY_LOCAL_MACHINE in a COLLECTOR_PATH_SIZE buffer; each subkey
// appends its name for its own export and takes it off again.
static void ExportOpenKey(HKEY key, LPSTR path, DWORD depth) {
    DWORD index;
    DWORD length = TextLength(path);
    ReportText("[" ROOT_NAME "\\");
    ReportText(path);
    ReportLine("]");
    ExportValues(key, path);
    ReportBytes("\r\n", 2);
    for (index = 0;; index++) {
        CHAR name[COLLECTOR_NAME_SIZE];
        DWORD nameSize = sizeof(name);
        HKEY subkey = NULL;
        LONG rc = RegEnumKeyExA(key, index, name, &nameSize, NULL, NULL, NULL, NULL);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS) {
            Note(path, "a subkey not listed", (DWORD)rc);
            break;
        }
        if (!TextAppend(path, COLLECTOR_PATH_SIZE, "\\") ||
            !TextAppend(path, COLLECTOR_PATH_SIZE, name)) {
            path[length] = '\0';
            Note(path, "has a subkey whose path is too long to export", ERROR_SUCCESS);
            continue;
        }
        if (depth + 1 >= EXPORT_DEPTH_LIMIT) {
            Note(path, "not exported: too deep", ERROR_SUCCESS);
        } else {
            rc = RegOpenKeyExA(key, name, 0, KEY_READ, &subkey);
            if (rc == ERROR_SUCCESS) {
                ExportOpenKey(subkey, path, depth + 1);
                RegCloseKey(subkey);
            } else {
                Note(path, "not opened", (DWORD)rc);
            }
        }
        path[length] = '\0';
    }
}

static void ExportKey(LPCSTR keyPath) {
    CHAR path[COLLECTOR_PATH_SIZE];
    HKEY key = NULL;
    LONG rc;
    if (!TextCopy(path, sizeof(path), keyPath))
        return;
    rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS) {
        Note(path, "not exported", (DWORD)rc);
        return;
    }
    ExportOpenKey(key, path, 0);
    RegCloseKey(key);
    Note(path, "exported", ERROR_SUCCESS);
}

// The maker's device types below "Enum\USB", each with its devices.
static void ExportMakerDevices(void) {
    CHAR path[COLLECTOR_PATH_SIZE];
    CHAR prefix[sizeof(MAKER_DEVICE_TYPE_PREFIX)];
    HKEY usb = NULL;
    DWORD index;
    DWORD prefixLength = TextLength(MAKER_DEVICE_TYPE_PREFIX);
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, USB_DEVICES_KEY_NAME, 0, KEY_READ, &usb);
    if (rc != ERROR_SUCCESS) {
        Note(USB_DEVICES_KEY_NAME, "not read", (DWORD)rc);
        return;
    }
    for (index = 0;; index++) {
        CHAR name[COLLECTOR_NAME_SIZE];
        DWORD nameSize = sizeof(name);
        rc = RegEnumKeyExA(usb, index, name, &nameSize, NULL, NULL, NULL, NULL);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS) {
            Note(USB_DEVICES_KEY_NAME, "a subkey not listed", (DWORD)rc);
            break;
        }
        prefix[0] = '\0';
        TextCopyCount(prefix, sizeof(prefix), name, prefixLength);
        if (!TextEqualAsciiNoCase(prefix, MAKER_DEVICE_TYPE_PREFIX))
            continue;
        path[0] = '\0';
        if (TextAppend(path, sizeof(path), USB_DEVICES_KEY) && TextAppend(path, sizeof(path), name))
            ExportKey(path);
    }
    RegCloseKey(usb);
}

void CollectRegistry(void) {
    Notes[0] = '\0';
    NotesCut = FALSE;
    ReportSection("registry");
    ReportLine("REGEDIT4");
    ReportBytes("\r\n", 2);
    ExportKey(MAKER_KEY_NAME);
    ExportKey(INTERFACES_KEY_NAME);
    ExportMakerDevices();
    ExportKey(PRINTER_CLASS_KEY_NAME);
    ExportKey(INTERFACE_CLASS_KEY_NAME);
    ExportKey(DRIVER_SERVICE_KEY_NAME);
    ExportKey(VXD_KEY_NAME);
    ExportKey(MONITORS_KEY_NAME);
    ExportKey(PRINTERS_KEY_NAME);
    ExportKey(RUN_ONCE_KEY_NAME);

    ReportSection("registry-keys");
    ReportText(Notes);
    if (NotesCut)
        ReportLine("(more not listed: the list is full)");
}
