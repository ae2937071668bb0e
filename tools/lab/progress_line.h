// One line of progress on the terminal for work that takes a while (a long print, the import of
// a large export): written to stderr, over itself, only when stderr is a terminal and only once
// the work has gone on for two seconds, so that a pipe, a log or a quick command never sees it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace lab {

class ProgressLine {
  public:
    ProgressLine();
    ~ProgressLine(); // the line is cleared
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // The line now; shown when the delay has passed, at most ten times a second.
    void Show(const std::string& text);
    // Clears the line so that ordinary output can follow; the next Show writes it again.
    void Clear();
    double Seconds() const;

  private:
    using Clock = std::chrono::steady_clock;
    bool terminal_;
    Clock::time_point start_;
    Clock::time_point lastShown_{};
    std::string lastText_;
    bool shown_ = false;
};

// Work that cannot say how far it has got: "<what>... 3 s" on a ProgressLine, refreshed by a
// thread of its own until it goes.
class ProgressTicker {
  public:
    explicit ProgressTicker(std::string what);
    ~ProgressTicker();
    ProgressTicker(const ProgressTicker&) = delete;
    ProgressTicker& operator=(const ProgressTicker&) = delete;

  private:
    std::string what_;
    ProgressLine line_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace lab
