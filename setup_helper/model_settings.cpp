// Model settings: the setup program's root directory and file, read from the model key into
// fixed buffers.
#include "common/bounded_text.h"
#include "platform/win32api.h"
#include "setup_helper/helper.h"

DWORD ReadSetupRootPath(LPSTR destination, LPSTR root) {
    DWORD type = 0;
    DWORD rc = ReadModelValue(ModelKeyPath, "SetupRootPath", &type, root);
    if (rc != ERROR_SUCCESS)
        return rc;
    DWORD length = TextLength(root);
    if (length == 0)
        return HELPER_ERROR_SETUP_EMPTY;
    // A root of 259 characters has no room for its backslash; dropping it would join the
    // directory and the file names, so the value is refused as too long.
    if (root[length - 1] != '\\' && !TextAppend(root, HELPER_TEXT_SIZE, "\\")) {
        root[0] = '\0';
        return ERROR_MORE_DATA;
    }
    TextCopy(destination, HELPER_TEXT_SIZE, root);
    return ERROR_SUCCESS;
}

DWORD ReadSetupExecFile(LPSTR destination, LPSTR buffer) {
    DWORD type = 0;
    buffer[0] = '\0';
    DWORD rc = ReadModelValue(ModelKeyPath, "SetupExecFile", &type, buffer);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (buffer[0] == '\0')
        return HELPER_ERROR_SETUP_EMPTY;
    // The path names the program that is run: a cut name would run another one.
    if (!TextAppend(destination, HELPER_TEXT_SIZE, buffer))
        return ERROR_MORE_DATA;
    return ERROR_SUCCESS;
}
