// KERNEL32: critical sections. Each section's lock lives in a record that DebugInfo points
// to; the records are registered so that a section never initialised, or one initialised
// again while held, is recognised without following a stale pointer.
#include "platform/sim/machine.h"
#include "platform/sim/live_counts.h"
#include "platform/win32api.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <unordered_set>

namespace {

struct SectionLock {
    LPCRITICAL_SECTION section; // the section this record belongs to
    std::recursive_mutex mutex;
    std::atomic<uint64_t> owner{0}; // ThreadId() of the holder, 0 when free
    unsigned depth = 0;             // changed by the holder only
    bool deleted = false;
};

struct Registry {
    std::mutex mutex;
    std::unordered_set<SectionLock*> live;
    unsigned reinitialisations = 0;
};

Registry& Sections() {
    static Registry* registry = new Registry; // used until exit
    return *registry;
}

uint64_t ThreadId() {
    static std::atomic<uint64_t> next{1};
    thread_local uint64_t id = next++;
    return id;
}

// The section's lock record, or NULL when the section was never initialised (or deleted).
SectionLock* LockOf(LPCRITICAL_SECTION section) {
    if (section == nullptr)
        return nullptr;
    Registry& r = Sections();
    std::lock_guard guard(r.mutex);
    auto* lock = static_cast<SectionLock*>(section->DebugInfo);
    auto it = r.live.find(lock);
    if (it == r.live.end() || (*it)->section != section || (*it)->deleted)
        return nullptr;
    return lock;
}

} // namespace

extern "C" {

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section) {
    if (section == nullptr)
        return;
    Registry& r = Sections();
    std::lock_guard guard(r.mutex);
    auto* existing = static_cast<SectionLock*>(section->DebugInfo);
    auto it = r.live.find(existing);
    if (it != r.live.end() && existing->section == section && !existing->deleted) {
        // Initialising a held section again is what corrupts a real one (the holder then
        // leaves a lock it no longer owns). Keep the lock the holder has; count the misuse.
        if (existing->owner.load() != 0)
            r.reinitialisations++;
        return;
    }
    auto* lock = new SectionLock;
    lock->section = section;
    r.live.insert(lock);
    section->DebugInfo = lock;
    section->LockCount = -1;
    section->RecursionCount = 0;
    section->OwningThread = nullptr;
    section->LockSemaphore = nullptr;
    section->SpinCount = 0;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section) {
    SectionLock* lock = LockOf(section);
    if (lock == nullptr)
        sim::MachineFault("EnterCriticalSection on a section that was never initialised");
    lock->mutex.lock();
    lock->owner.store(ThreadId());
    lock->depth++;
}

// Leaving a section this thread does not hold is ignored rather than unlocking a lock of
// another thread.
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section) {
    SectionLock* lock = LockOf(section);
    if (lock == nullptr || lock->owner.load() != ThreadId())
        return;
    if (--lock->depth == 0)
        lock->owner.store(0);
    lock->mutex.unlock();
}

// A section still held by another thread is only marked deleted: its holder may still leave
// it, and destroying a held mutex is undefined.
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section) {
    if (section == nullptr)
        return;
    Registry& r = Sections();
    std::lock_guard guard(r.mutex);
    auto* lock = static_cast<SectionLock*>(section->DebugInfo);
    auto it = r.live.find(lock);
    if (it == r.live.end() || lock->section != section || lock->deleted)
        return;
    uint64_t owner = lock->owner.load();
    if (owner != 0 && owner != ThreadId()) {
        lock->deleted = true;
        return;
    }
    r.live.erase(it);
    if (owner != 0) {
        while (lock->depth > 0) {
            lock->depth--;
            lock->mutex.unlock();
        }
    }
    delete lock;
    section->DebugInfo = nullptr;
}

} // extern "C"

namespace sim {

unsigned CriticalSectionReinitialisations() {
    Registry& r = Sections();
    std::lock_guard guard(r.mutex);
    return r.reinitialisations;
}

} // namespace sim
