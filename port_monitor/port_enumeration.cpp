// EnumPorts: one PORT_INFO_1 or PORT_INFO_2 per entry of the port table, the structures from the
// start of the caller's buffer, their strings packed from its end downwards.
#include "port_monitor/monitor.h"
#include "common/bounded_text.h"

#define MAX_PORT_STRINGS 3

static DWORD StringSize(LPCSTR text) {
    return text != NULL ? TextLength(text) + 1 : 0;
}

static DWORD StructureSize(DWORD level) {
    if (level == 1)
        return sizeof(PORT_INFO_1);
    if (level == 2)
        return sizeof(PORT_INFO_2);
    return 0;
}

static DWORD EntrySize(PortEntry* entry, DWORD level) {
    if (level == 1)
        return sizeof(PORT_INFO_1) + StringSize(entry->name);
    if (level == 2)
        return sizeof(PORT_INFO_2) + StringSize(entry->name) + StringSize(MonitorName) +
               StringSize(entry->description);
    return 0;
}

// Copies each source string below end and points its member at the copy; a NULL source gives a
// NULL member. Returns the new end.
static LPBYTE PackStrings(LPSTR* members[], LPCSTR sources[], DWORD count, LPBYTE end) {
    for (DWORD i = 0; i < count; i++) {
        if (sources[i] == NULL) {
            *members[i] = NULL;
            continue;
        }
        DWORD size = TextLength(sources[i]) + 1;
        end -= size;
        MemoryCopy(end, sources[i], size);
        *members[i] = (LPSTR)end;
    }
    return end;
}

static LPBYTE FillPortInfo(PortEntry* entry, DWORD level, LPBYTE structure, LPBYTE end) {
    LPSTR* members[MAX_PORT_STRINGS];
    LPCSTR sources[MAX_PORT_STRINGS];
    if (level == 1) {
        PORT_INFO_1* info = (PORT_INFO_1*)structure;
        members[0] = &info->pName;
        sources[0] = entry->name;
        return PackStrings(members, sources, 1, end);
    }
    if (level == 2) {
        PORT_INFO_2* info = (PORT_INFO_2*)structure;
        info->fPortType = PORT_TYPE_WRITE | PORT_TYPE_READ;
        info->Reserved = 0;
        // The port name lies highest, then the monitor name, then the description.
        members[0] = &info->pPortName;
        sources[0] = entry->name;
        members[1] = &info->pMonitorName;
        sources[1] = MonitorName;
        members[2] = &info->pDescription;
        sources[2] = entry->description;
        return PackStrings(members, sources, 3, end);
    }
    return end;
}

BOOL WINAPI EnumPorts(LPSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                      LPDWORD pcReturned) {
    (void)pName;
    if (Level > 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    if (pcbNeeded == NULL || pcReturned == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // No buffer holds nothing, whatever size comes with it.
    if (pPorts == NULL)
        cbBuf = 0;

    DWORD error = ERROR_SUCCESS;
    EnterCriticalSection(&PortTableLock);
    RescanIfStale();
    DWORD needed = 0;
    for (PortEntry* entry = PortTable; entry != NULL; entry = entry->next)
        needed += EntrySize(entry, Level);
    *pcbNeeded = needed;
    if (needed > cbBuf) {
        error = ERROR_INSUFFICIENT_BUFFER;
    } else {
        LPBYTE structure = pPorts;
        LPBYTE end = pPorts + cbBuf;
        *pcReturned = 0;
        for (PortEntry* entry = PortTable; entry != NULL; entry = entry->next) {
            end = FillPortInfo(entry, Level, structure, end);
            structure += StructureSize(Level);
            (*pcReturned)++;
        }
    }
    LeaveCriticalSection(&PortTableLock);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}
