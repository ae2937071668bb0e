// vtxdiag's entry: "VTXDIAG.EXE [/q] [REPORT]". The report goes to REPORT, or to VTXDIAG.TXT in
// the Windows directory; a message box then says where, unless /q is given. The exit code is 0
// when the whole report was written, else the error of the write that failed.
#include "common/bounded_text.h"
#include "field_collector/collector.h"

#define REPORT_NAME "VTXDIAG.TXT"
#define BOX_CAPTION "Draftaire diagnostics"

// The arguments: "/q" (or "-q") and one path, quoted when it holds spaces.
static void ReadArguments(LPCSTR tail, BOOL* quiet, LPSTR path, DWORD pathSize) {
    *quiet = FALSE;
    path[0] = '\0';
    while (*tail != '\0') {
        CHAR word[MAX_PATH];
        DWORD length = 0;
        BOOL quoted = FALSE;
        while (*tail == ' ' || *tail == '\t')
            tail++;
        if (*tail == '\0')
            break;
        if (*tail == '"') {
            quoted = TRUE;
            tail++;
        }
        while (*tail != '\0' && (quoted ? *tail != '"' : (*tail != ' ' && *tail != '\t'))) {
            if (length + 1 < sizeof(word))
                word[length++] = *tail;
            tail++;
        }
        if (quoted && *tail == '"')
            tail++;
        word[length] = '\0';
        if (!quoted && (TextEqualAsciiNoCase(word, "/q") || TextEqualAsciiNoCase(word, "-q")))
            *quiet = TRUE;
        else if (path[0] == '\0')
            TextCopy(path, pathSize, word);
    }
}

static BOOL DefaultReportPath(LPSTR path, DWORD pathSize) {
    UINT length = GetWindowsDirectoryA(path, pathSize);
    if (length == 0 || length >= pathSize)
        return FALSE;
    if (path[length - 1] != '\\' && !TextAppend(path, pathSize, "\\"))
        return FALSE;
    return TextAppend(path, pathSize, REPORT_NAME);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
    CHAR path[MAX_PATH];
    CHAR message[MAX_PATH + 160];
    CHAR number[16];
    BOOL quiet;
    DWORD error;
    ReadArguments(lpCmdLine != NULL ? lpCmdLine : "", &quiet, path, sizeof(path));
    if (path[0] == '\0' && !DefaultReportPath(path, sizeof(path)))
        TextCopy(path, sizeof(path), "C:\\WINDOWS\\" REPORT_NAME);

    if (ReportOpen(path)) {
        ReportLine("#vtxdiag report 1");
        CollectHeader(path);
        CollectRegistry();
        CollectWininit();
        CollectFiles();
        CollectSpooler();
        ReportLine("#vtxdiag end");
    }
    error = ReportClose();

    message[0] = '\0';
    number[0] = '\0';
    TextAppendUnsigned(number, sizeof(number), error);
    if (error == ERROR_SUCCESS) {
        TextAppend(message, sizeof(message), "The report is in ");
        TextAppend(message, sizeof(message), path);
        TextAppend(message, sizeof(message),
                   ".\r\n\r\nPlease send this file to your printer's support.");
    } else {
        TextAppend(message, sizeof(message), "The report could not be written to ");
        TextAppend(message, sizeof(message), path);
        TextAppend(message, sizeof(message), " (error ");
        TextAppend(message, sizeof(message), number);
        TextAppend(message, sizeof(message), ").");
    }
    if (!quiet)
        MessageBoxA(NULL, message, BOX_CAPTION,
                    MB_OK | (error == ERROR_SUCCESS ? MB_ICONINFORMATION : MB_ICONERROR));
    return (int)error;
}
