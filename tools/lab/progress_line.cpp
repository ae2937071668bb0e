#include "tools/lab/progress_line.h"

#include <fmt/format.h>

#include <unistd.h>

#include <cstdio>

namespace lab {
namespace {

constexpr std::chrono::seconds kDelay{2};
constexpr std::chrono::milliseconds kInterval{100};

} // namespace

ProgressLine::ProgressLine() : terminal_(isatty(STDERR_FILENO) == 1), start_(Clock::now()) {}

ProgressLine::~ProgressLine() {
    Clear();
}

void ProgressLine::Show(const std::string& text) {
    Clock::time_point now = Clock::now();
    if (!terminal_ || now - start_ < kDelay || now - lastShown_ < kInterval ||
        (shown_ && text == lastText_))
        return;
    fmt::print(stderr, "\r\033[K{}", text);
    std::fflush(stderr);
    lastShown_ = now;
    lastText_ = text;
    shown_ = true;
}

void ProgressLine::Clear() {
    if (!shown_)
        return;
    fmt::print(stderr, "\r\033[K");
    std::fflush(stderr);
    shown_ = false;
    lastShown_ = {};
}

double ProgressLine::Seconds() const {
    return std::chrono::duration<double>(Clock::now() - start_).count();
}

ProgressTicker::ProgressTicker(std::string what) : what_(std::move(what)) {
    if (isatty(STDERR_FILENO) != 1)
        return; // no thread where nothing would be shown
    thread_ = std::thread([this] {
        std::unique_lock hold(mutex_);
        while (!done_.wait_for(hold, kInterval, [this] { return stop_; }))
            line_.Show(fmt::format("{}... {:.0f} s", what_, line_.Seconds()));
    });
}

ProgressTicker::~ProgressTicker() {
    {
        std::lock_guard hold(mutex_);
        stop_ = true;
    }
    done_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

} // namespace lab
