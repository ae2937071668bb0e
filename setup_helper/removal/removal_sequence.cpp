// Removal sequence: the registry keys and files of one device, then what its type shared.
#include "platform/bounded_text.h"
#include "platform/win32api.h"
#include "setup_helper/removal/removal.h"

void RemoveDevice(void) {}

DWORD QueueDeleteAtRestart(LPCSTR path)
{
    (void)path;
    return ERROR_SUCCESS;
}
