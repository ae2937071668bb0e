// The "RENAME" section of wininit.ini, whose entries the system carries out at its next start:
// its one reader and writer. Entries are appended (the helper's copy moved back over it, files in
// use deleted), and queued deletions taken back.
#include "common/bounded_text.h"
#include "common/product_names.h"
#include "platform/win32api.h"
#include "setup_helper/helper.h"

#define RENAME_SECTION "RENAME"
// The most a Windows 9x profile call returns; a section buffer this size that comes back full
// is reported as RENAME_OFFERED - 2 characters.
#define RENAME_OFFERED 32767
// Behind a full section: one entry of up to 259 characters, its terminator and the list's.
#define RENAME_SECTION_SIZE 33028

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

// Reads the section into RenameSection and gives its length, up to the list's closing zero.
// Refused when writing the section back could lose an entry: a read that failed (the section
// would seem empty), a section cut at the buffer's end, or an empty entry that ends the list.
static DWORD ReadRenameSection(LPDWORD length) {
    SetLastError(ERROR_SUCCESS);
    DWORD n =
        GetPrivateProfileSectionA(RENAME_SECTION, RenameSection, RENAME_OFFERED, WININIT_FILE_NAME);
    // Nothing read is an empty section or no file yet, unless the read failed.
    if (n == 0 && GetLastError() != ERROR_SUCCESS && GetLastError() != ERROR_FILE_NOT_FOUND &&
        GetLastError() != ERROR_PATH_NOT_FOUND)
        return HELPER_ERROR_RENAME_NOT_SAVED;
    if (n >= RENAME_OFFERED - 2)
        return HELPER_ERROR_RENAME_NOT_SAVED;
    if (n > 0 && !IsWholeList(RenameSection, n))
        return HELPER_ERROR_RENAME_NOT_SAVED;
    *length = n;
    return ERROR_SUCCESS;
}

DWORD AppendRenameEntry(LPCSTR key, LPCSTR value) {
    CHAR entry[HELPER_TEXT_SIZE];
    BOOL written;
    DWORD n = 0;
    if (key == NULL || value == NULL)
        return HELPER_ERROR_RENAME_NOT_SAVED;
    // An entry cut short would name another file to move or delete at restart.
    entry[0] = '\0';
    if (!TextCopy(entry, sizeof(entry), key) || !TextAppend(entry, sizeof(entry), "=") ||
        !TextAppend(entry, sizeof(entry), value))
        return HELPER_ERROR_RENAME_NOT_SAVED;

    // Writing the key alone over a section that could not be read would replace an earlier
    // entry of the same key ("NUL" above all) unseen.
    if (ReadRenameSection(&n) != ERROR_SUCCESS)
        return HELPER_ERROR_RENAME_NOT_SAVED;
    if (n > 0) {
        DWORD length = TextLength(entry);
        MemoryCopy(RenameSection + n, entry, length + 1);
        RenameSection[n + length + 1] = '\0';
        written = WritePrivateProfileSectionA(RENAME_SECTION, RenameSection, WININIT_FILE_NAME);
    } else {
        written = WritePrivateProfileStringA(RENAME_SECTION, key, value, WININIT_FILE_NAME);
    }
    return written ? ERROR_SUCCESS : HELPER_ERROR_RENAME_NOT_SAVED;
}

// Drops every "NUL=<path>" entry (the file names compared without case, as the platform does)
// and keeps all others in their order. The section is written only when an entry was dropped.
DWORD TakeBackQueuedDeletion(LPCSTR path) {
    CHAR deletion[HELPER_TEXT_SIZE];
    DWORD n = 0;
    DWORD read;
    DWORD kept = 0;
    BOOL dropped = FALSE;
    deletion[0] = '\0';
    if (path == NULL || !TextCopy(deletion, sizeof(deletion), "NUL=") ||
        !TextAppend(deletion, sizeof(deletion), path))
        return HELPER_ERROR_RENAME_NOT_SAVED;
    DWORD rc = ReadRenameSection(&n);
    if (rc != ERROR_SUCCESS)
        return rc;
    for (read = 0; read < n;) {
        DWORD length = TextLengthBounded(RenameSection + read, n - read);
        if (TextEqualAsciiNoCase(RenameSection + read, deletion)) {
            dropped = TRUE;
        } else {
            // Moved towards the start of the buffer, over what was dropped: never ahead of read.
            for (DWORD i = 0; i < length; i++)
                RenameSection[kept + i] = RenameSection[read + i];
            RenameSection[kept + length] = '\0';
            kept += length + 1;
        }
        read += length + 1;
    }
    if (!dropped)
        return ERROR_SUCCESS;
    RenameSection[kept] = '\0';
    RenameSection[kept + 1] = '\0';
    if (!WritePrivateProfileSectionA(RENAME_SECTION, RenameSection, WININIT_FILE_NAME))
        return HELPER_ERROR_RENAME_NOT_SAVED;
    return ERROR_SUCCESS;
}
