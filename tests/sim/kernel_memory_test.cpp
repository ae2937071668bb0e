// The global heap: zeroed fixed blocks, a count of live blocks, injected failures and
// frees of blocks that are not (or no longer) live.
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/kernel_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"
#include "support/markers.h"

#include <gtest/gtest.h>

namespace {

using vtxtest::kMarker;

class GlobalHeap : public vtxtest::MachineTest {};

TEST_F(GlobalHeap, ZeroInitBlocksAreZeroAndCountedUntilFreed) {
    unsigned before = vtxsim::LiveGlobalBlocks();
    auto* block = static_cast<unsigned char*>(GlobalAlloc(GPTR, 300));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 300; i++)
        ASSERT_EQ(block[i], 0) << i;
    HGLOBAL empty = GlobalAlloc(GMEM_FIXED, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(vtxsim::LiveGlobalBlocks(), before + 2);

    SetLastError(kMarker);
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalFree(empty), nullptr);
    EXPECT_EQ(GetLastError(), kMarker);
    EXPECT_EQ(vtxsim::LiveGlobalBlocks(), before);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST_F(GlobalHeap, TheNthAllocationFailsWithTheInjectedCode) {
    unsigned before = vtxsim::LiveGlobalBlocks();
    vtxsim::FailCall("GlobalAlloc", 2, ERROR_NOT_ENOUGH_MEMORY);
    HGLOBAL first = GlobalAlloc(GPTR, 16);
    SetLastError(kMarker);
    HGLOBAL second = GlobalAlloc(GPTR, 16);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_ENOUGH_MEMORY});
    HGLOBAL third = GlobalAlloc(GPTR, 16);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    EXPECT_EQ(vtxsim::LiveGlobalBlocks(), before + 2);
    GlobalFree(first);
    GlobalFree(third);
    EXPECT_EQ(vtxsim::LiveGlobalBlocks(), before);
}

TEST_F(GlobalHeap, FreeingABlockTwiceOrAForeignPointerFailsWithInvalidHandle) {
    HGLOBAL block = GlobalAlloc(GPTR, 8);
    ASSERT_EQ(GlobalFree(block), nullptr);
    unsigned live = vtxsim::LiveGlobalBlocks();

    SetLastError(kMarker);
    EXPECT_EQ(GlobalFree(block), block);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});

    int local = 0;
    SetLastError(kMarker);
    EXPECT_EQ(GlobalFree(&local), &local);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
    EXPECT_EQ(vtxsim::LiveGlobalBlocks(), live);
}

} // namespace
