#include "platform/sim/machine.h"
#include "platform/sim/atomic_write.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <vector>

namespace sim {
namespace {

struct MachineState {
    std::recursive_mutex mutex;
    std::vector<Store> stores;
    std::filesystem::path dir;
    bool persistent = false;
    bool chosen = false;
    int lockFd = -1;
};

MachineState& State() {
    static MachineState* state = new MachineState; // never destroyed: used until exit
    return *state;
}

thread_local int lockDepth = 0;

std::filesystem::path MakePrivateDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vtxsim-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        MachineFault("cannot create a temporary machine directory: " + pattern);
    std::filesystem::path dir = pattern;
    std::atexit([] {
        std::error_code ignored;
        if (!State().persistent)
            std::filesystem::remove_all(State().dir, ignored);
    });
    return dir;
}

void OpenLockFile(MachineState& s) {
    if (s.lockFd >= 0)
        close(s.lockFd);
    s.lockFd = -1;
    if (!s.persistent)
        return;
    std::filesystem::path lockPath = s.dir / "lock";
    s.lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (s.lockFd < 0)
        MachineFault("cannot open the machine lock " + lockPath.string());
}

void Choose(MachineState& s, const std::filesystem::path& dir) {
    static std::filesystem::path privateDir;
    s.persistent = !dir.empty();
    if (s.persistent) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec || !std::filesystem::is_directory(dir))
            MachineFault("cannot use the machine directory " + dir.string() + ": " + ec.message());
        s.dir = std::filesystem::absolute(dir);
    } else {
        if (privateDir.empty())
            privateDir = MakePrivateDir();
        s.dir = privateDir;
    }
    OpenLockFile(s);
    s.chosen = true;
}

void EnsureChosen(MachineState& s) {
    if (s.chosen)
        return;
    const char* env = std::getenv("VTXSIM_MACHINE");
    Choose(s, env != nullptr ? std::filesystem::path(env) : std::filesystem::path());
}

} // namespace

void AddStore(Store store) {
    MachineState& s = State();
    std::lock_guard guard(s.mutex);
    s.stores.push_back(std::move(store));
}

MachineLock::MachineLock() {
    MachineState& s = State();
    s.mutex.lock();
    if (lockDepth++ > 0)
        return;
    EnsureChosen(s);
    if (s.lockFd >= 0 && flock(s.lockFd, LOCK_EX) != 0)
        MachineFault("cannot lock the machine directory " + s.dir.string());
    for (Store& store : s.stores) {
        if (store.load)
            store.load();
    }
}

MachineLock::~MachineLock() {
    MachineState& s = State();
    if (--lockDepth == 0) {
        for (Store& store : s.stores) {
            if (store.save)
                store.save();
        }
        if (s.lockFd >= 0)
            flock(s.lockFd, LOCK_UN);
    }
    s.mutex.unlock();
}

const std::filesystem::path& MachineDir() {
    MachineState& s = State();
    std::lock_guard guard(s.mutex);
    EnsureChosen(s);
    return s.dir;
}

bool IsPersistent() {
    MachineState& s = State();
    std::lock_guard guard(s.mutex);
    EnsureChosen(s);
    return s.persistent;
}

void WriteMachineFile(const std::filesystem::path& path, std::string_view text) {
    AtomicWrite written = WriteFileAtomically(path, text);
    if (written.failed == AtomicWrite::Step::Writing)
        MachineFault("cannot write " + written.temporary.string());
    if (written.failed == AtomicWrite::Step::Replacing)
        MachineFault("cannot replace " + path.string() + ": " + written.error.message());
}

void MachineFault(const std::string& message) {
    std::fprintf(stderr, "vtxsim: %s\n", message.c_str());
    std::fflush(stderr);
    std::_Exit(3);
}

void UseMachine(const std::filesystem::path& dir) {
    MachineState& s = State();
    std::lock_guard guard(s.mutex);
    Choose(s, dir);
    for (Store& store : s.stores) {
        if (store.forget)
            store.forget();
    }
    MachineLock reload;
}

void ResetMachine() {
    MachineLock lock;
    for (Store& store : State().stores) {
        if (store.reset)
            store.reset();
    }
}

} // namespace sim
