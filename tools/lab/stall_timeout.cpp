#include "tools/lab/stall_timeout.h"

#include <fmt/format.h>

#include <algorithm>

namespace lab {
namespace {

// The spooler's pause between two tries of a write that moved nothing.
constexpr std::chrono::milliseconds kRetryPause{100};

} // namespace

StallTimeout::StallTimeout(double seconds, Clock::time_point start)
    : seconds_(seconds), lastMoved_(start) {}

void StallTimeout::Moved(Clock::time_point now) {
    lastMoved_ = now;
}

std::string StallTimeout::GiveUp(Clock::time_point now) const {
    if (seconds_ <= 0 || now - lastMoved_ < std::chrono::duration<double>(seconds_))
        return "";
    return fmt::format("the printer took no data for {} s (--timeout)", seconds_);
}

std::chrono::milliseconds StallTimeout::RetryPause(Clock::time_point now) const {
    std::chrono::milliseconds pause = kRetryPause;
    if (seconds_ > 0)
        pause = std::min(pause, std::chrono::ceil<std::chrono::milliseconds>(
                                    std::chrono::duration<double>(seconds_) - (now - lastMoved_)));
    return std::max(pause, std::chrono::milliseconds(1));
}

} // namespace lab
