#include "tools/lab/interrupt.h"

#include <fmt/format.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace lab {
namespace {

// The handler only writes the signal's number to a pipe: the removal runs on a thread of its own,
// where taking a lock and walking directories is allowed.
int signalPipe[2] = {-1, -1};

struct Registry {
    std::mutex mutex;
    std::multiset<fs::path> dirs;
};

Registry& TheRegistry() {
    static Registry* registry = new Registry; // used by the watcher until exit
    return *registry;
}

void OnSignal(int signal) {
    int saved = errno;
    auto byte = static_cast<unsigned char>(signal);
    ssize_t written = write(signalPipe[1], &byte, 1);
    (void)written;
    errno = saved;
}

// A command still writing into a directory may add an entry while it is being removed: a few
// tries catch what was added meanwhile.
void RemoveAll(const fs::path& dir) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::error_code ec;
        fs::remove_all(dir, ec);
        if (!ec && !fs::exists(dir, ec))
            return;
    }
}

[[noreturn]] void Watch() {
    unsigned char byte = 0;
    while (read(signalPipe[0], &byte, 1) != 1) {
    }
    {
        Registry& registry = TheRegistry();
        std::lock_guard hold(registry.mutex); // held to the end: no new registration counts
        for (const fs::path& dir : registry.dirs)
            RemoveAll(dir);
        // Ends as the signal would have ended it, so that the shell sees the interruption.
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigaction(byte, &action, nullptr);
        raise(byte);
    }
    std::_Exit(128 + byte);
}

} // namespace

void RemoveTemporariesOnInterrupt() {
    if (signalPipe[0] >= 0)
        return;
    if (pipe2(signalPipe, O_CLOEXEC) != 0)
        return; // no cleaning up, but the command still runs
    std::thread(Watch).detach();
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // Also a closed terminal, and a reader gone (vtxlab demo | head): each would end vtxlab too.
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaction(signal, &action, nullptr);
}

RemovedOnInterrupt::RemovedOnInterrupt(const fs::path& dir) : dir_(dir) {
    Registry& registry = TheRegistry();
    std::lock_guard hold(registry.mutex);
    registry.dirs.insert(dir_);
}

RemovedOnInterrupt::~RemovedOnInterrupt() {
    Registry& registry = TheRegistry();
    std::lock_guard hold(registry.mutex);
    auto found = registry.dirs.find(dir_);
    if (found != registry.dirs.end())
        registry.dirs.erase(found);
}

void PauseForTest(const char* point) {
    const char* wanted = std::getenv("VTXLAB_TEST_PAUSE");
    if (wanted == nullptr || std::strcmp(wanted, point) != 0)
        return;
    fmt::print("vtxlab: paused at {}\n", point);
    std::fflush(stdout);
    while (true)
        pause();
}

} // namespace lab
