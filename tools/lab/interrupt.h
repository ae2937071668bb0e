// What an interrupted vtxlab leaves: nothing of its own temporary making. Ctrl-C (SIGINT),
// SIGTERM, SIGHUP or SIGPIPE removes every directory registered here, then ends the process by
// that signal.
#pragma once

#include <filesystem>

namespace lab {

// Catches those signals from here on; called once, before any command runs.
void RemoveTemporariesOnInterrupt();

// A directory to remove if the process is interrupted while the object lives.
class RemovedOnInterrupt {
  public:
    explicit RemovedOnInterrupt(const std::filesystem::path& dir);
    ~RemovedOnInterrupt();
    RemovedOnInterrupt(const RemovedOnInterrupt&) = delete;
    RemovedOnInterrupt& operator=(const RemovedOnInterrupt&) = delete;

  private:
    std::filesystem::path dir_;
};

// A test's fixed point in a command: when VTXLAB_TEST_PAUSE names the point, the command prints
// "vtxlab: paused at <point>" on stdout and waits there for a signal, so that a test interrupts
// it exactly there.
void PauseForTest(const char* point);

} // namespace lab
