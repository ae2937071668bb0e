// The wininit.ini section: the file as it is, byte for byte, after a line that gives its
// length, so that a reader takes exactly the file whatever lines it holds.
#include "common/bounded_text.h"
#include "field_collector/collector.h"

// wininit.ini is processed in real mode before Windows starts, which limits it to 64 KB.
#define WININIT_LIMIT 65536

LPCSTR WininitText = NULL;
DWORD WininitLength = 0;

static HGLOBAL WininitBuffer = NULL;

// Reads the whole file into WininitBuffer; an error code when it cannot.
static DWORD ReadWininit(LPCSTR path, BOOL* cut) {
    DWORD size;
    DWORD read = 0;
    DWORD error = ERROR_SUCCESS;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    size = GetFileSize(file, NULL);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        error = GetLastError();
        CloseHandle(file);
        return error;
    }
    *cut = size > WININIT_LIMIT;
    if (*cut)
        size = WININIT_LIMIT;
    WininitBuffer = GlobalAlloc(GPTR, size + 1);
    if (WininitBuffer == NULL) {
        CloseHandle(file);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (!ReadFile(file, WininitBuffer, size, &read, NULL))
        error = GetLastError();
    CloseHandle(file);
    if (error != ERROR_SUCCESS) {
        GlobalFree(WininitBuffer);
        WininitBuffer = NULL;
        return error;
    }
    WininitText = (LPCSTR)WininitBuffer;
    WininitLength = read;
    return ERROR_SUCCESS;
}

void CollectWininit(void) {
    CHAR path[MAX_PATH];
    UINT length = GetWindowsDirectoryA(path, sizeof(path));
    BOOL cut = FALSE;
    DWORD error;
    if (length == 0 || length >= sizeof(path) || !TextAppend(path, sizeof(path), "\\WININIT.INI")) {
        ReportText("#vtxdiag section wininit.ini");
        ReportError(length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE);
        ReportBytes("\r\n", 2);
        return;
    }
    error = ReadWininit(path, &cut);
    ReportText("#vtxdiag section wininit.ini");
    if (error != ERROR_SUCCESS) {
        ReportError(error);
        ReportText(" path=");
        ReportLine(path);
        return;
    }
    ReportText(" bytes=");
    ReportDecimal(WininitLength);
    if (cut)
        ReportText(" cut");
    ReportText(" path=");
    ReportLine(path);
    ReportBytes(WininitText, WininitLength);
    ReportBytes("\r\n", 2);
}
