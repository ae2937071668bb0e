// Helper copy: a program file of the system directory copied to a numbered temporary name, and
// the "RENAME" entry of wininit.ini that moves the copy back over it at the next start.
#include "common/bounded_text.h"
#include "common/product_names.h"
#include "platform/win32api.h"
#include "setup_helper/helper.h"

#define TICK_REDUCTION 99999999UL

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
