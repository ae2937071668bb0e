// print's timeout policy, at given times: when a stalled job ends and how long each try again
// waits.
#include "tools/lab/stall_timeout.h"

#include <gtest/gtest.h>

namespace {

using lab::StallTimeout;
using std::chrono::milliseconds;
using std::chrono::seconds;

const StallTimeout::Clock::time_point kStart{};

TEST(StallTimeout, AJobEndsOnlyOnceThePrinterHasTakenNothingForTheTimeout) {
    StallTimeout timeout(60, kStart);
    EXPECT_EQ(timeout.GiveUp(kStart + milliseconds(59999)), "");
    EXPECT_EQ(timeout.GiveUp(kStart + seconds(60)),
              "the printer took no data for 60 s (--timeout)");
    // Data taken starts the count again.
    timeout.Moved(kStart + seconds(50));
    EXPECT_EQ(timeout.GiveUp(kStart + seconds(100)), "");
    EXPECT_EQ(timeout.GiveUp(kStart + seconds(110)),
              "the printer took no data for 60 s (--timeout)");

    StallTimeout fraction(0.25, kStart);
    EXPECT_EQ(fraction.GiveUp(kStart + milliseconds(249)), "");
    EXPECT_EQ(fraction.GiveUp(kStart + milliseconds(250)),
              "the printer took no data for 0.25 s (--timeout)");

    // 0: the job waits for ever.
    StallTimeout never(0, kStart);
    EXPECT_EQ(never.GiveUp(kStart + std::chrono::hours(24 * 365)), "");
}

TEST(StallTimeout, ATryAgainWaitsAsTheSpoolerDoesButNotPastTheTimeout) {
    StallTimeout timeout(1, kStart);
    EXPECT_EQ(timeout.RetryPause(kStart), milliseconds(100));
    EXPECT_EQ(timeout.RetryPause(kStart + milliseconds(950)), milliseconds(50));
    // Never nothing: a try again at the very end, or after it, still waits a little.
    EXPECT_EQ(timeout.RetryPause(kStart + seconds(1)), milliseconds(1));
    EXPECT_EQ(timeout.RetryPause(kStart + seconds(5)), milliseconds(1));
    timeout.Moved(kStart + seconds(5));
    EXPECT_EQ(timeout.RetryPause(kStart + seconds(5)), milliseconds(100));

    StallTimeout never(0, kStart);
    EXPECT_EQ(never.RetryPause(kStart + std::chrono::hours(1)), milliseconds(100));
}

} // namespace
