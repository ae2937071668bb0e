// KERNEL32: the global heap. Blocks are tracked so that tests can count leaks and a bad or
// repeated GlobalFree is reported instead of corrupting the host heap.
#include "platform/sim/faults.h"
#include "platform/sim/live_counts.h"
#include "platform/win32api.h"

#include <cstdlib>
#include <mutex>
#include <unordered_set>

namespace {

struct GlobalHeap {
    std::mutex mutex;
    std::unordered_set<void*> live;
};

GlobalHeap& Heap() {
    static GlobalHeap* heap = new GlobalHeap; // used until exit
    return *heap;
}

} // namespace

extern "C" {

// Movable blocks are handed out as their address too: nothing here locks or moves them.
HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    if (DWORD injected = sim::InjectedFailure("GlobalAlloc")) {
        SetLastError(injected);
        return nullptr;
    }
    size_t size = dwBytes == 0 ? 1 : dwBytes;
    void* block = (uFlags & GMEM_ZEROINIT) != 0 ? std::calloc(1, size) : std::malloc(size);
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    GlobalHeap& heap = Heap();
    std::lock_guard guard(heap.mutex);
    heap.live.insert(block);
    return block;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    if (DWORD injected = sim::InjectedFailure("GlobalFree")) {
        SetLastError(injected);
        return hMem;
    }
    if (hMem == nullptr)
        return nullptr;
    GlobalHeap& heap = Heap();
    {
        std::lock_guard guard(heap.mutex);
        if (heap.live.erase(hMem) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return hMem;
        }
    }
    std::free(hMem);
    return nullptr;
}

} // extern "C"

namespace sim {

unsigned LiveGlobalBlocks() {
    GlobalHeap& heap = Heap();
    std::lock_guard guard(heap.mutex);
    return static_cast<unsigned>(heap.live.size());
}

} // namespace sim
