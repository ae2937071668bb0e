// The spooler's entry point, its 13-slot operation table, and the monitor's program-wide state.
#include "port_monitor/monitor.h"
#include "common/bounded_text.h"

PortEntry* PortTable = NULL;
DWORD LastScanTick = 0;
const CHAR MonitorName[] = "";
CHAR RegistryRoot[REGISTRY_ROOT_SIZE] = {0};
CRITICAL_SECTION PortTableLock;
CRITICAL_SECTION OpenPortLock;
PortHandle* OpenPortList = NULL;

#define LOCK_UNINITIALISED 0
#define LOCK_INITIALISING 1
#define LOCK_READY 2
static LONG volatile OpenPortLockState = LOCK_UNINITIALISED;
static LONG volatile PortTableLockState = LOCK_UNINITIALISED;

// The 9x spooler calls InitializeMonitorEx once per registered instance, from several threads,
// on the one copy of this library; initialising a critical section another thread holds would
// corrupt it. The first caller initialises, later callers wait until it is usable.
static void InitializeLockOnce(LPCRITICAL_SECTION lock, LONG volatile* state) {
    if (InterlockedCompareExchange(state, LOCK_INITIALISING, LOCK_UNINITIALISED) ==
        LOCK_UNINITIALISED) {
        InitializeCriticalSection(lock);
        InterlockedExchange(state, LOCK_READY);
        return;
    }
    while (InterlockedCompareExchange(state, LOCK_READY, LOCK_READY) != LOCK_READY) {
    }
}

static void FillOperationTable(LPMONITOR monitor) {
    monitor->pfnEnumPorts = EnumPorts;
    monitor->pfnOpenPort = OpenPort;
    monitor->pfnOpenPortEx = NULL;
    monitor->pfnStartDocPort = StartDocPort;
    monitor->pfnWritePort = WritePort;
    monitor->pfnReadPort = ReadPort;
    monitor->pfnEndDocPort = EndDocPort;
    monitor->pfnClosePort = ClosePort;
    monitor->pfnAddPort = AddPort;
    monitor->pfnConfigurePort = ConfigurePort;
    monitor->pfnDeletePort = DeletePort;
    monitor->pfnGetPrinterDataFromPort = GetPrinterDataFromPort;
    monitor->pfnSetPortTimeOuts = SetPortTimeOuts;
}

BOOL WINAPI InitializeMonitorEx(LPSTR pRegistryRoot, LPMONITOR pMonitor) {
    InitializeLockOnce(&OpenPortLock, &OpenPortLockState);
    if (pRegistryRoot == NULL || pRegistryRoot[0] == '\0' || pMonitor == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    InitializeLockOnce(&PortTableLock, &PortTableLockState);
    EnterCriticalSection(&PortTableLock);
    // No operation reads the root; a longer one is kept cut to the buffer.
    RegistryRoot[0] = '\0';
    TextAppendCut(RegistryRoot, sizeof(RegistryRoot), pRegistryRoot);
    // The initial build leaves LastScanTick alone, so the first EnumPorts or OpenPort after a
    // load more than 10 s past system start rebuilds once more.
    ClearPortTable();
    ScanDevices();
    LeaveCriticalSection(&PortTableLock);
    FillOperationTable(pMonitor);
    return TRUE;
}
