// The report file. Writes go through a buffer so that a report of many small pieces takes
// few WriteFile calls.
#include "common/bounded_text.h"
#include "field_collector/collector.h"

#define REPORT_BUFFER_SIZE 4096

static HANDLE ReportHandle = INVALID_HANDLE_VALUE;
static BYTE ReportBuffer[REPORT_BUFFER_SIZE];
static DWORD ReportFill = 0;
static DWORD ReportFailure = ERROR_SUCCESS;

static void Flush(void) {
    DWORD written = 0;
    if (ReportFill == 0 || ReportFailure != ERROR_SUCCESS)
        return;
    if (!WriteFile(ReportHandle, ReportBuffer, ReportFill, &written, NULL))
        ReportFailure = GetLastError();
    else if (written != ReportFill)
        ReportFailure = ERROR_WRITE_FAULT;
    ReportFill = 0;
}

BOOL ReportOpen(LPCSTR path) {
    ReportHandle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    ReportFill = 0;
    ReportFailure = ReportHandle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    return ReportHandle != INVALID_HANDLE_VALUE;
}

void ReportBytes(const void* data, DWORD count) {
    const BYTE* bytes = (const BYTE*)data;
    while (count > 0 && ReportFailure == ERROR_SUCCESS) {
        DWORD room = REPORT_BUFFER_SIZE - ReportFill;
        DWORD part = count < room ? count : room;
        MemoryCopy(ReportBuffer + ReportFill, bytes, part);
        ReportFill += part;
        bytes += part;
        count -= part;
        if (ReportFill == REPORT_BUFFER_SIZE)
            Flush();
    }
}

void ReportText(LPCSTR text) {
    ReportBytes(text, TextLength(text));
}

void ReportLine(LPCSTR text) {
    ReportText(text);
    ReportBytes("\r\n", 2);
}

void ReportDecimal(DWORD value) {
    CHAR number[16];
    number[0] = '\0';
    TextAppendUnsigned(number, sizeof(number), value);
    ReportText(number);
}

void ReportHex(DWORD value, int digits) {
    CHAR number[16];
    if (digits == 8)
        wsprintfA(number, "%08x", (unsigned)value);
    else if (digits == 2)
        wsprintfA(number, "%02x", (unsigned)value);
    else
        wsprintfA(number, "%x", (unsigned)value);
    ReportText(number);
}

void ReportQuoted(LPCSTR text) {
    ReportBytes("\"", 1);
    for (; *text != '\0'; text++) {
        BYTE c = (BYTE)*text;
        if (c == '\\' || c == '"') {
            ReportBytes("\\", 1);
            ReportBytes(text, 1);
        } else if (c < 0x20) {
            ReportText("\\x");
            ReportHex(c, 2);
        } else {
            ReportBytes(text, 1);
        }
    }
    ReportBytes("\"", 1);
}

void ReportSection(LPCSTR name) {
    ReportText("#vtxdiag section ");
    ReportLine(name);
}

void ReportError(DWORD error) {
    ReportText(" error=");
    ReportDecimal(error);
}

void ReportFileDate(const FILETIME* time) {
    FILETIME local;
    SYSTEMTIME parts;
    CHAR text[40];
    if (!FileTimeToLocalFileTime(time, &local) || !FileTimeToSystemTime(&local, &parts)) {
        ReportText(" date=none");
        return;
    }
    wsprintfA(text, " date=%04u-%02u-%02uT%02u:%02u:%02u", (unsigned)parts.wYear,
              (unsigned)parts.wMonth, (unsigned)parts.wDay, (unsigned)parts.wHour,
              (unsigned)parts.wMinute, (unsigned)parts.wSecond);
    ReportText(text);
}

DWORD ReportClose(void) {
    if (ReportHandle == INVALID_HANDLE_VALUE)
        return ReportFailure;
    Flush();
    if (!CloseHandle(ReportHandle) && ReportFailure == ERROR_SUCCESS)
        ReportFailure = GetLastError();
    ReportHandle = INVALID_HANDLE_VALUE;
    return ReportFailure;
}
