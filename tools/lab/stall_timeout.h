// How long print goes on with a printer that takes nothing: the job ends once the printer has
// taken no data for the timeout's seconds (never with 0); meanwhile each try again waits as the
// spooler does, or less when the time is nearly up. The times are given, so that a test needs no
// clock of its own.
#pragma once

#include <chrono>
#include <string>

namespace lab {

class StallTimeout {
  public:
    using Clock = std::chrono::steady_clock;

    // seconds: --timeout; start: when the job began, which counts as the printer's last move.
    StallTimeout(double seconds, Clock::time_point start);
    // The printer took data at now.
    void Moved(Clock::time_point now);
    // Why the job ends at now, as the job's failure; empty while it may go on.
    std::string GiveUp(Clock::time_point now) const;
    // How long to wait at now before the write is tried again: never 0, never past the timeout.
    std::chrono::milliseconds RetryPause(Clock::time_point now) const;

  private:
    double seconds_;
    Clock::time_point lastMoved_;
};

} // namespace lab
