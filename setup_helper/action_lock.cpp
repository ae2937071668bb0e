// The machine-wide lock around a helper's action. Nothing on Windows 98 orders the helpers that
// the device installer starts: two printers found at one start, or one pulled while another's
// install still runs, give two helpers at once. Each reads wininit.ini's RENAME section, adds to
// it and writes it back, and the key walk of a removal can meet the other's deletions; so the
// whole action of one helper runs before or after the other's, never in between.
#include "platform/win32api.h"
#include "setup_helper/helper.h"

#define ACTION_MUTEX_NAME "Vtxinh01DeviceAction"
// A helper that hangs must not stop every later device event for good: after this long the
// action runs without the lock, as it ran before there was one.
#define ACTION_WAIT_MS 60000

HANDLE BeginExclusiveAction(void) {
    HANDLE mutex = CreateMutexA(NULL, FALSE, ACTION_MUTEX_NAME);
    if (mutex == NULL)
        return NULL;
    DWORD waited = WaitForSingleObject(mutex, ACTION_WAIT_MS);
    // Abandoned: the helper that held it ended in the middle of its action. What it left half
    // done is there whether we wait or not, the lock is ours now, and each step of ours copes
    // with keys and entries that are or are not there.
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
        return mutex;
    CloseHandle(mutex);
    return NULL;
}

void EndExclusiveAction(HANDLE mutex) {
    if (mutex == NULL)
        return;
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}
