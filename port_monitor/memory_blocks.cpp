// Memory blocks: zeroed blocks from the global heap, their release, and copies of texts in them.
#include "port_monitor/monitor.h"
#include "common/bounded_text.h"

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
