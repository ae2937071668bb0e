// KERNEL32: the global heap. Blocks are tracked so that tests can count leaks and a bad or
// repeated GlobalFree is reported instead of corrupting the host heap.
#include "platform/sim/faults.h"
#include "platform/sim/live_counts.h"
#include "platform/sim/simulated_call.h"
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

using sim::Locking;
using sim::OnSuccess;

// The heap keeps its own lock: the machine's is not taken.
extern "C" {

// Movable blocks are handed out as their address too: nothing here locks or moves them.
HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    return sim::SimulatedCall<HGLOBAL>(
        {"GlobalAlloc", OnSuccess::LeavesLastError, nullptr, Locking::ByBody},
        [&]() -> sim::CallResult<HGLOBAL> {
            size_t size = dwBytes == 0 ? 1 : dwBytes;
            void* block = (uFlags & GMEM_ZEROINIT) != 0 ? std::calloc(1, size) : std::malloc(size);
            if (block == nullptr)
                return sim::Fail(ERROR_NOT_ENOUGH_MEMORY);
            GlobalHeap& heap = Heap();
            std::lock_guard guard(heap.mutex);
            heap.live.insert(block);
            return block;
        });
}

// A failure hands the block back.
HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    return sim::SimulatedCall<HGLOBAL>(
        {"GlobalFree", OnSuccess::LeavesLastError, hMem, Locking::ByBody},
        [&]() -> sim::CallResult<HGLOBAL> {
            if (hMem == nullptr)
                return HGLOBAL{nullptr};
            GlobalHeap& heap = Heap();
            {
                std::lock_guard guard(heap.mutex);
                if (heap.live.erase(hMem) == 0)
                    return sim::Fail(ERROR_INVALID_HANDLE);
            }
            std::free(hMem);
            return HGLOBAL{nullptr};
        });
}

} // extern "C"

namespace sim {

unsigned LiveGlobalBlocks() {
    GlobalHeap& heap = Heap();
    std::lock_guard guard(heap.mutex);
    return static_cast<unsigned>(heap.live.size());
}

} // namespace sim
