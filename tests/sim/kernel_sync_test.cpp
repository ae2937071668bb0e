// Critical sections: re-entrant, exclusive between threads, and an initialisation of a
// section that another thread holds is counted and leaves the holder's lock intact.
#include "platform/sim/control/kernel_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

class CriticalSections : public vtxtest::MachineTest {};

TEST_F(CriticalSections, ASectionIsReentrantForItsHolderAndExclusiveBetweenThreads) {
    CRITICAL_SECTION section{};
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section); // the holder may enter again
    LeaveCriticalSection(&section);

    std::atomic<bool> entered{false};
    std::thread other([&] {
        EnterCriticalSection(&section);
        entered = true;
        LeaveCriticalSection(&section);
    });
    // Still held once: the other thread must wait until the last leave.
    for (int i = 0; i < 1000; i++)
        std::this_thread::yield();
    EXPECT_FALSE(entered.load());
    LeaveCriticalSection(&section);
    other.join();
    EXPECT_TRUE(entered.load());
    DeleteCriticalSection(&section);
}

TEST_F(CriticalSections, CountersChangedUnderTheSectionByManyThreadsAddUp) {
    CRITICAL_SECTION section{};
    InitializeCriticalSection(&section);
    long plain = 0;
    LONG volatile interlocked = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; i++) {
                EnterCriticalSection(&section);
                plain++;
                LeaveCriticalSection(&section);
                InterlockedIncrement(&interlocked);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(plain, 8000);
    EXPECT_EQ(interlocked, 8000);
    DeleteCriticalSection(&section);
}

TEST_F(CriticalSections, InitialisingAHeldSectionIsCountedAndKeepsTheHoldersLock) {
    CRITICAL_SECTION section{};
    InitializeCriticalSection(&section);
    InitializeCriticalSection(&section); // again while free: harmless, not counted
    unsigned before = vtxsim::CriticalSectionReinitialisations();

    std::mutex mutex;
    std::condition_variable changed;
    int stage = 0;
    auto waitFor = [&](int wanted) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stage >= wanted; });
    };
    auto advance = [&](int to) {
        std::lock_guard lock(mutex);
        stage = to;
        changed.notify_all();
    };

    std::thread holder([&] {
        EnterCriticalSection(&section);
        advance(1);
        waitFor(2);
        LeaveCriticalSection(&section);
    });
    waitFor(1);
    InitializeCriticalSection(&section);
    EXPECT_EQ(vtxsim::CriticalSectionReinitialisations(), before + 1);

    std::atomic<bool> entered{false};
    std::thread waiter([&] {
        EnterCriticalSection(&section);
        entered = true;
        LeaveCriticalSection(&section);
    });
    for (int i = 0; i < 1000; i++)
        std::this_thread::yield();
    EXPECT_FALSE(entered.load()) << "the re-initialisation released the holder's lock";
    advance(2);
    holder.join();
    waiter.join();
    EXPECT_TRUE(entered.load());
    DeleteCriticalSection(&section);
}

TEST_F(CriticalSections, InterlockedOperationsReturnWhatWindowsReturns) {
    LONG volatile value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(value, 9);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 7), 9); // no match: unchanged
    EXPECT_EQ(value, 9);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 9), 9);
    EXPECT_EQ(value, 1);
    EXPECT_TRUE(DisableThreadLibraryCalls(nullptr));
}

} // namespace
