// The files section: each of the maker's files in its fixed directory, and each copy of the
// helper that wininit.ini's RENAME section queues ("*.ex_"): present or not, size,
// attributes, date of the last write and the file version of its version resource.
//
// One line a file, its path last so that it may hold spaces:
//   KIND present size=N attributes=0xHHHHHHHH date=YYYY-MM-DDTHH:MM:SS version=A.B.C.D path=P
//   KIND absent error=N path=P
// KIND is "driver" or "queued-copy"; a field that cannot be read says "error=N" in its place.
#include "common/bounded_text.h"
#include "common/product_names.h"
#include "field_collector/collector.h"

#define QUEUED_COPY_LIMIT 64

static void ReportVersion(LPCSTR path) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    HGLOBAL block;
    VS_FIXEDFILEINFO* fixed = NULL;
    UINT fixedSize = 0;
    CHAR text[64];
    if (size == 0) {
        ReportText(" version=none");
        ReportError(GetLastError());
        return;
    }
    block = GlobalAlloc(GPTR, size);
    if (block == NULL) {
        ReportText(" version=none");
        ReportError(ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    if (!GetFileVersionInfoA(path, handle, size, block)) {
        ReportText(" version=none");
        ReportError(GetLastError());
    } else if (!VerQueryValueA(block, "\\", (LPVOID*)&fixed, &fixedSize) || fixed == NULL ||
               fixedSize < sizeof(VS_FIXEDFILEINFO)) {
        ReportText(" version=none");
    } else {
        wsprintfA(text, " version=%u.%u.%u.%u", (unsigned)(fixed->dwFileVersionMS >> 16),
                  (unsigned)(fixed->dwFileVersionMS & 0xFFFF),
                  (unsigned)(fixed->dwFileVersionLS >> 16),
                  (unsigned)(fixed->dwFileVersionLS & 0xFFFF));
        ReportText(text);
    }
    GlobalFree(block);
}

static void ReportFile(LPCSTR kind, LPCSTR path) {
    DWORD attributes = GetFileAttributesA(path);
    HANDLE file;
    ReportText(kind);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        ReportText(" absent");
        ReportError(GetLastError());
        ReportText(" path=");
        ReportLine(path);
        return;
    }
    ReportText(" present");
    // Opened for reading only, and shared every way: a file the spooler holds still answers.
    file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        ReportText(" size=none");
        ReportError(GetLastError());
    } else {
        FILETIME written;
        DWORD size = GetFileSize(file, NULL);
        if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
            ReportText(" size=none");
            ReportError(GetLastError());
        } else {
            ReportText(" size=");
            ReportDecimal(size);
        }
        ReportText(" attributes=0x");
        ReportHex(attributes, 8);
        if (GetFileTime(file, NULL, NULL, &written))
            ReportFileDate(&written);
        else
            ReportText(" date=none");
        CloseHandle(file);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        ReportVersion(path);
    ReportText(" path=");
    ReportLine(path);
}

// Ends of lines: a line runs to CR, LF or the end of the text.
static DWORD LineEnd(LPCSTR text, DWORD at, DWORD length) {
    while (at < length && text[at] != '\r' && text[at] != '\n')
        at++;
    return at;
}

static BOOL EndsWithCopyExtension(LPCSTR text, DWORD length) {
    CHAR tail[5];
    if (length < 4)
        return FALSE;
    tail[0] = '\0';
    TextCopyCount(tail, sizeof(tail), text + length - 4, 4);
    return TextEqualAsciiNoCase(tail, ".ex_");
}

// The source of each "target=source" line of the [rename] section whose source is a copy
// of the helper.
static void ReportQueuedCopies(void) {
    DWORD at = 0;
    DWORD count = 0;
    BOOL inRename = FALSE;
    while (WininitText != NULL && at < WininitLength && count < QUEUED_COPY_LIMIT) {
        DWORD end = LineEnd(WininitText, at, WininitLength);
        DWORD start = at;
        CHAR line[COLLECTOR_TEXT_SIZE];
        LPCSTR equals;
        LPCSTR source;
        while (start < end && (WininitText[start] == ' ' || WininitText[start] == '\t'))
            start++;
        line[0] = '\0';
        if (end - start < sizeof(line))
            TextCopyCount(line, sizeof(line), WininitText + start, end - start);
        while (line[0] != '\0' &&
               (line[TextLength(line) - 1] == ' ' || line[TextLength(line) - 1] == '\t'))
            line[TextLength(line) - 1] = '\0';
        if (line[0] == '[') {
            inRename = TextEqualAsciiNoCase(line, "[rename]");
        } else if (inRename && (equals = TextFindChar(line, '=')) != NULL) {
            source = equals + 1;
            if (EndsWithCopyExtension(source, TextLength(source))) {
                ReportFile("queued-copy", source);
                count++;
            }
        }
        at = end + 1;
    }
}

void CollectFiles(void) {
    ReportSection("files");
    ReportFile("driver", USB_DRIVER_FILE);
    ReportFile("driver", IO_DRIVER_FILE);
    ReportFile("driver", CLASS_LIBRARY_FILE);
    ReportFile("driver", MONITOR_FILE);
    ReportFile("driver", HELPER_FILE);
    ReportFile("driver", VXD_LIBRARY_FILE);
    ReportQueuedCopies();
}
