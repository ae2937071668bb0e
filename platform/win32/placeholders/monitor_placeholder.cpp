// Stands in for the monitor's entry while port_monitor/ defines none, so that the image links.
// It lives in an archive: the linker takes it only when no product object defines the entry.
#include "platform/monitor9x.h"

BOOL WINAPI InitializeMonitorEx(LPSTR pRegistryRoot, LPMONITOR pMonitor) {
    (void)pRegistryRoot;
    (void)pMonitor;
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}
