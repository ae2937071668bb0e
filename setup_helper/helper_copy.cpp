// Helper copy: a program file of the system directory copied to a numbered temporary name, and
// the "RENAME" entry of wininit.ini that moves the copy back over it at the next start.
#include "common/bounded_text.h"
#include "common/product_names.h"
#include "platform/win32api.h"
#include "setup_helper/helper.h"

#define RENAME_SECTION "RENAME"
#define RENAME_FILE "wininit.ini"
// The most a Windows 9x profile call returns; a section buffer this size that comes back full
// is reported as RENAME_OFFERED - 2 characters.
#define RENAME_OFFERED 32767
// Behind a full section: one entry of up to 259 characters, its terminator and the list's.
#define RENAME_SECTION_SIZE 33028
#define TICK_REDUCTION 99999999UL

// Scratch for the section's entries; static so that it does not weigh on the stack.
static CHAR RenameSection[RENAME_SECTION_SIZE];

// Whether the first length characters of a section list hold no empty entry. A zero byte at the
// start of a line in wininit.ini reads as one, and it ends the list for whoever reads it next:
// written back, the section would lose every entry behind it.
static BOOL IsWholeList(LPCSTR list, DWORD length) {
    for (DWORD i = 0; i < length; i++) {
        if (list[i] == '\0' && (i == 0 || list[i - 1] == '\0'))
            return FALSE;
    }
    return TRUE;
}

DWORD AppendRenameEntry(LPCSTR key, LPCSTR value) {
    CHAR entry[HELPER_TEXT_SIZE];
    BOOL written;
    if (key == NULL || value == NULL)
        return HELPER_ERROR_RENAME_NOT_SAVED;
    // An entry cut short would name another file to move or delete at restart.
    entry[0] = '\0';
    if (!TextCopy(entry, sizeof(entry), key) || !TextAppend(entry, sizeof(entry), "=") ||
        !TextAppend(entry, sizeof(entry), value))
        return HELPER_ERROR_RENAME_NOT_SAVED;

    SetLastError(ERROR_SUCCESS);
    DWORD n = GetPrivateProfileSectionA(RENAME_SECTION, RenameSection, RENAME_OFFERED, RENAME_FILE);
    // Nothing read is an empty section or no file yet, unless the read failed: writing the key
    // alone would then replace an earlier entry of the same key ("NUL" above all) unseen.
    if (n == 0 && GetLastError() != ERROR_SUCCESS && GetLastError() != ERROR_FILE_NOT_FOUND &&
        GetLastError() != ERROR_PATH_NOT_FOUND)
        return HELPER_ERROR_RENAME_NOT_SAVED;
    // A section that filled the buffer came back cut; writing it back would lose the entries
    // that did not fit.
    if (n >= RENAME_OFFERED - 2)
        return HELPER_ERROR_RENAME_NOT_SAVED;
    if (n > 0 && !IsWholeList(RenameSection, n))
        return HELPER_ERROR_RENAME_NOT_SAVED;
    if (n > 0) {
        DWORD length = TextLength(entry);
        MemoryCopy(RenameSection + n, entry, length + 1);
        RenameSection[n + length + 1] = '\0';
        written = WritePrivateProfileSectionA(RENAME_SECTION, RenameSection, RENAME_FILE);
    } else {
        written = WritePrivateProfileStringA(RENAME_SECTION, key, value, RENAME_FILE);
    }
    return written ? ERROR_SUCCESS : HELPER_ERROR_RENAME_NOT_SAVED;
}

DWORD CopyHelperForRestart(void) {
    CHAR temporaryName[HELPER_TEXT_SIZE];
    CHAR source[HELPER_TEXT_SIZE];
    CHAR execFile[HELPER_TEXT_SIZE];
    DWORD type = 0;

    // Subtracting 99999999 (not 100000000) keeps the number within eight digits.
    DWORD ticks = GetTickCount();
    while (ticks > TICK_REDUCTION)
        ticks -= TICK_REDUCTION;
    wsprintfA(temporaryName, "%s%.8d.ex_", SYSTEM_DIRECTORY, (int)ticks);

    source[0] = '\0';
    TextCopy(source, sizeof(source), SYSTEM_DIRECTORY);
    execFile[0] = '\0';
    if (ReadModelValue(ModelKeyPath, "ExecFile", &type, execFile) == ERROR_SUCCESS) {
        // The source is overwritten at restart: a cut name would replace another file.
        if (!TextAppend(source, sizeof(source), execFile))
            return HELPER_ERROR_COPY_FAILED;
    } else {
        TextAppend(source, sizeof(source), "vtx");
        TextAppend(source, sizeof(source), "inh");
        TextAppend(source, sizeof(source), "01");
        TextAppend(source, sizeof(source), ".exe");
    }
    // Nothing is copied that could not be queued: "<source>=<temporary name>" must fit.
    if (TextLength(source) + 1 + TextLength(temporaryName) >= HELPER_TEXT_SIZE)
        return HELPER_ERROR_COPY_FAILED;

    if (!CopyFileA(source, temporaryName, FALSE))
        return HELPER_ERROR_COPY_FAILED;
    return AppendRenameEntry(source, temporaryName);
}
