// The port table: memory blocks, entries, lookups by name, and the staleness rule.
#include "port_monitor/monitor.h"
#include "common/bounded_text.h"
#include "common/windows_version.h"

LPVOID AllocZeroed(DWORD size) {
    LPVOID block = (LPVOID)GlobalAlloc(GMEM_FIXED, size);
    if (block != NULL)
        MemoryZero(block, size);
    return block;
}

void FreeBlock(LPVOID block) {
    if (block != NULL)
        GlobalFree((HGLOBAL)block);
}

LPSTR DupString(LPCSTR text) {
    if (text == NULL)
        return NULL;
    DWORD size = TextLength(text) + 1;
    LPSTR copy = (LPSTR)AllocZeroed(size);
    if (copy != NULL)
        MemoryCopy(copy, text, size);
    return copy;
}

PortEntry* AddPortEntry(LPCSTR name, LPCSTR description, LPCSTR devicePath, DWORD enabled) {
    DWORD nameSize = TextLength(name) + 1;
    DWORD size = (DWORD)sizeof(PortEntry) + nameSize;
    PortEntry* entry = (PortEntry*)AllocZeroed(size);
    if (entry == NULL)
        return NULL;
    entry->signature = PORT_ENTRY_SIGNATURE;
    entry->size = size;
    entry->next = NULL;
    entry->name = (LPSTR)(entry + 1);
    MemoryCopy(entry->name, name, nameSize);
    entry->enabled = enabled;
    // A copy that cannot be made leaves its field NULL; the entry is still worth having.
    entry->description = DupString(description);
    entry->devicePath = DupString(devicePath);

    PortEntry** link = &PortTable;
    while (*link != NULL)
        link = &(*link)->next;
    *link = entry;
    return entry;
}

void ClearPortTable(void) {
    PortEntry* entry = PortTable;
    while (entry != NULL) {
        PortEntry* next = entry->next;
        FreeBlock(entry->description);
        FreeBlock(entry->devicePath);
        FreeBlock(entry);
        entry = next;
    }
    PortTable = NULL;
}

// Only enabled entries are found; names compare with A-Z folded and every other byte exact.
PortEntry* FindPortEntry(LPCSTR name) {
    if (name == NULL)
        return NULL;
    for (PortEntry* entry = PortTable; entry != NULL; entry = entry->next) {
        if (entry->enabled != 0 && TextEqualAsciiNoCase(entry->name, name))
            return entry;
    }
    return NULL;
}

void RescanIfStale(void) {
    DWORD now = GetTickCount();
    // Unsigned difference: the wrap of the tick count after 49.7 days does no harm.
    if (now - LastScanTick > STALE_AFTER_MS) {
        LastScanTick = now;
        ClearPortTable();
        ScanDevices();
    }
}

BOOL IsPortKnown(LPCSTR name) {
    RescanIfStale();
    return FindPortEntry(name) != NULL;
}

LPCSTR FindDevicePath(LPCSTR name) {
    PortEntry* entry = FindPortEntry(name);
    return entry != NULL ? entry->devicePath : NULL;
}

BOOL IsWindowsMe(void) {
    return IsWindows4AtLeast(WINDOWS_ME_MINOR);
}
