// The port table: its entries and their lookups by name.
#include "port_monitor/monitor.h"
#include "common/bounded_text.h"

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

LPCSTR FindDevicePath(LPCSTR name) {
    PortEntry* entry = FindPortEntry(name);
    return entry != NULL ? entry->devicePath : NULL;
}
