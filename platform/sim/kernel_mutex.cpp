// KERNEL32: mutexes. A named mutex is one object for every process of the machine: a file under
// the machine directory's "mutexes/", owned by the process that holds an exclusive flock on it.
// The owner writes its process id into the file and empties it when it lets go, so a waiter that
// gets the lock and finds an id there knows the owner died holding it: the mutex was abandoned.
// Within a process the owner is a thread and may take the mutex again (a count, as on Windows).
#include "platform/sim/handles.h"
#include "platform/sim/machine.h"
#include "platform/sim/object_file_name.h"
#include "platform/sim/simulated_call.h"
#include "platform/win32api.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;

// How often a waiter tries the lock of a mutex another process holds.
constexpr auto kPollInterval = std::chrono::milliseconds(1);

uint64_t ThreadId() {
    static std::atomic<uint64_t> next{1};
    thread_local uint64_t id = next++;
    return id;
}

// Mutex names are case-sensitive, as kernel object names are: the file name keeps the case.
std::string FileNameOf(const std::string& name) {
    return ObjectFileName(name, "_-");
}

bool ProcessAlive(pid_t pid) {
    return pid > 0 && (kill(pid, 0) == 0 || errno != ESRCH);
}

// The processes that have the named mutex open, in "<file>.open", one id a line; the ids of
// processes that are gone are dropped. Runs inside the machine lock.
class OpenList {
  public:
    explicit OpenList(std::filesystem::path path) : path_(std::move(path)) {
        std::ifstream in(path_);
        pid_t pid = 0;
        while (in >> pid) {
            if (ProcessAlive(pid) && std::find(pids_.begin(), pids_.end(), pid) == pids_.end())
                pids_.push_back(pid);
        }
    }
    bool Empty() const { return pids_.empty(); }
    void Add(pid_t pid) {
        if (std::find(pids_.begin(), pids_.end(), pid) == pids_.end())
            pids_.push_back(pid);
    }
    void Remove(pid_t pid) {
        pids_.erase(std::remove(pids_.begin(), pids_.end(), pid), pids_.end());
    }
    void Save() const {
        std::ostringstream text;
        for (pid_t pid : pids_)
            text << pid << "\n";
        WriteMachineFile(path_, text.str());
    }

  private:
    std::filesystem::path path_;
    std::vector<pid_t> pids_;
};

class Mutex : public KernelObject {
  public:
    // An unnamed mutex (empty base) is this process's alone: it has no lock file.
    explicit Mutex(std::filesystem::path base) : base_(std::move(base)) {}
    DWORD Open() {
        if (base_.empty())
            return 0;
        fd_ = open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        return fd_ < 0 ? ERROR_ACCESS_DENIED : 0;
    }
    void AddHandle() {
        std::lock_guard lock(mutex_);
        handles_++;
    }

    DWORD Wait(DWORD ms);
    DWORD Release();
    // Closing the last handle while a thread of this process owns the mutex leaves it owned by
    // nobody alive: the next waiter finds it abandoned, as when the owner dies.
    void Close() override;

  private:
    std::filesystem::path LockPath() const { return base_.string() + ".lock"; }
    bool TryLockFile(bool* abandoned);

    std::filesystem::path base_;
    int fd_ = -1;
    std::mutex mutex_;
    std::condition_variable released_;
    uint64_t owner_ = 0; // ThreadId() of the owning thread, 0 when no thread of ours owns it
    unsigned depth_ = 0;
    unsigned handles_ = 0; // of this process
};

// Takes the file lock without waiting; on success records this process as the owner.
bool Mutex::TryLockFile(bool* abandoned) {
    if (fd_ < 0)
        return true;
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0)
        return false;
    char mark[32] = {};
    *abandoned = pread(fd_, mark, sizeof mark - 1, 0) > 0;
    std::string pid = std::to_string(getpid());
    if (ftruncate(fd_, 0) != 0 || pwrite(fd_, pid.data(), pid.size(), 0) < 0)
        MachineFault("cannot mark the owner of mutex " + LockPath().string());
    return true;
}

DWORD Mutex::Wait(DWORD ms) {
    const bool forever = ms == INFINITE;
    // Real time, not the machine's clock: a test that holds the machine's clock still must not
    // make every wait endless.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : ms);
    std::unique_lock lock(mutex_);
    if (owner_ == ThreadId()) {
        depth_++;
        return WAIT_OBJECT_0;
    }
    auto freeHere = [&] { return owner_ == 0; };
    if (forever)
        released_.wait(lock, freeHere);
    else if (!released_.wait_until(lock, deadline, freeHere))
        return WAIT_TIMEOUT;
    // Ours within the process while the other processes are waited for.
    owner_ = ThreadId();
    lock.unlock();
    bool abandoned = false;
    while (!TryLockFile(&abandoned)) {
        if (!forever && Clock::now() >= deadline) {
            lock.lock();
            owner_ = 0;
            released_.notify_one();
            return WAIT_TIMEOUT;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    lock.lock();
    depth_ = 1;
    return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
}

DWORD Mutex::Release() {
    std::lock_guard lock(mutex_);
    if (owner_ != ThreadId() || depth_ == 0)
        return ERROR_NOT_OWNER;
    if (--depth_ > 0)
        return 0;
    if (fd_ >= 0) {
        if (ftruncate(fd_, 0) != 0)
            MachineFault("cannot clear the owner of mutex " + LockPath().string());
        flock(fd_, LOCK_UN);
    }
    owner_ = 0;
    released_.notify_one();
    return 0;
}

struct ProcessMutexes {
    std::mutex mutex;
    pid_t pid = 0; // a table inherited through fork belongs to the parent
    std::map<std::string, std::weak_ptr<Mutex>> named;
};

ProcessMutexes& Mutexes() {
    static ProcessMutexes* table = new ProcessMutexes; // used until exit
    return *table;
}

void Mutex::Close() {
    {
        std::lock_guard lock(mutex_);
        if (--handles_ > 0)
            return;
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }
    if (base_.empty())
        return;
    {
        ProcessMutexes& table = Mutexes();
        std::lock_guard guard(table.mutex);
        table.named.erase(base_.filename().string());
    }
    MachineLock lock;
    std::filesystem::path openPath = base_.string() + ".open";
    OpenList list(openPath);
    list.Remove(getpid());
    list.Save();
}

std::shared_ptr<Mutex> MutexOf(HANDLE handle) {
    return std::dynamic_pointer_cast<Mutex>(FindHandle(handle));
}

} // namespace
} // namespace sim

using sim::Locking;
using sim::OnSuccess;

extern "C" {

// Security attributes are not looked at: Windows 98 has none. The last error tells the caller
// whether a named mutex was there already. The machine lock is taken only to open a mutex
// anew, never while waiting to own one.
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName) {
    return sim::SimulatedCall<HANDLE>(
        {"CreateMutexA", OnSuccess::ClearsLastError, nullptr, Locking::ByBody},
        [&]() -> sim::CallResult<HANDLE> {
            std::shared_ptr<sim::Mutex> object;
            bool existed = false;
            if (lpName == nullptr || lpName[0] == '\0') {
                object = std::make_shared<sim::Mutex>(std::filesystem::path());
            } else {
                std::string name = lpName;
                if (name.size() >= MAX_PATH)
                    return sim::Fail(ERROR_FILENAME_EXCED_RANGE);
                std::string file = sim::FileNameOf(name);
                sim::ProcessMutexes& table = sim::Mutexes();
                std::lock_guard guard(table.mutex);
                if (table.pid != getpid()) {
                    // The parent's objects and their locks are the parent's: forget them
                    // unclosed.
                    table.named.clear();
                    table.pid = getpid();
                }
                object = table.named[file].lock();
                if (object) {
                    existed = true;
                } else {
                    sim::MachineLock lock;
                    std::filesystem::path dir = sim::MachineDir() / "mutexes";
                    std::error_code ec;
                    std::filesystem::create_directories(dir, ec);
                    object = std::make_shared<sim::Mutex>(dir / file);
                    if (DWORD error = object->Open())
                        return sim::Fail(error);
                    sim::OpenList list(dir / (file + ".open"));
                    existed = !list.Empty();
                    list.Add(getpid());
                    list.Save();
                    table.named[file] = object;
                }
            }
            object->AddHandle();
            HANDLE handle = sim::AddHandle(object);
            // Only the creator of a mutex can ask to own it at once.
            if (bInitialOwner && !existed)
                object->Wait(INFINITE);
            if (existed)
                return sim::SucceedSetting(handle, ERROR_ALREADY_EXISTS);
            return handle;
        });
}

// A wait that times out or finds the mutex abandoned succeeds: its result says so.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    return sim::SimulatedCall<DWORD>(
        {"WaitForSingleObject", OnSuccess::LeavesLastError, WAIT_FAILED, Locking::ByBody},
        [&]() -> sim::CallResult<DWORD> {
            std::shared_ptr<sim::Mutex> object = sim::MutexOf(hHandle);
            if (!object)
                return sim::Fail(ERROR_INVALID_HANDLE);
            return object->Wait(dwMilliseconds);
        });
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    return sim::SimulatedCall<BOOL>(
        {"ReleaseMutex", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            std::shared_ptr<sim::Mutex> object = sim::MutexOf(hMutex);
            if (!object)
                return sim::Fail(ERROR_INVALID_HANDLE);
            return sim::TrueOrFail(object->Release());
        });
}

} // extern "C"
