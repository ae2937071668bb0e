#include "tools/lab/machine_dir.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_layout.h"
#include "tools/lab/made_files.h"

#include "platform/sim/control/simctl.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace lab {
namespace {

constexpr const char* kMarkerText = "A simulated Windows machine made by vtxlab.\n";

bool waitForBusyMachine = false;

bool IsEmptyDirectory(const fs::path& dir) {
    std::error_code ec;
    return fs::is_empty(dir, ec) && !ec;
}

void WriteMarker(const fs::path& dir) {
    std::ofstream out(MarkerFile(dir), std::ios::trunc);
    out << kMarkerText;
    if (!out)
        throw LabError("cannot write " + MarkerFile(dir).string());
}

} // namespace

void CheckNewMachineDir(const fs::path& dir, bool force) {
    std::error_code ec;
    bool exists = fs::exists(dir, ec);
    if (exists && !fs::is_directory(dir, ec))
        throw LabError(dir.string() + " exists and is not a directory");
    if (exists && !IsEmptyDirectory(dir)) {
        if (!IsLabMachine(dir))
            throw LabError(dir.string() +
                           " is not empty and is not a vtxlab machine; nothing was changed "
                           "(give a new or empty directory)");
        if (!force)
            throw LabError(dir.string() +
                           " is already a vtxlab machine; --force starts it anew (only what "
                           "vtxlab made there is deleted)");
        if (!HasMadeList(dir))
            throw LabError(dir.string() +
                           " was made by an earlier vtxlab, which kept no list of what it made; "
                           "nothing was changed (remove it yourself, or give a new directory)");
    }
}

void MarkAsMachine(const fs::path& dir) {
    WriteMarker(dir);
    std::error_code ec;
    fs::create_directories(LabStateDir(dir), ec);
    if (ec)
        throw LabError("cannot create " + LabStateDir(dir).string() + ": " + ec.message());
}

void OpenMachine(const fs::path& dir) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        throw LabError("no machine directory " + dir.string() + " (make one with vtxlab new)");
    if (!IsLabMachine(dir))
        throw LabError(dir.string() + " is not a vtxlab machine (it has no " +
                       MarkerFile(dir).filename().string() + "; make one with vtxlab new)");
    fs::create_directories(LabStateDir(dir), ec);
    vtxsim::UseMachine(dir);
}

CommandLock::CommandLock(const fs::path& dir, const std::string& command) {
    fs::path path = LabStateDir(dir) / "lock";
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0)
        throw LabError("cannot open " + path.string() + ": " + std::strerror(errno));
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        char holder[128] = {};
        ssize_t got = pread(fd_, holder, sizeof holder - 1, 0);
        std::string who = got > 0 ? std::string(holder, static_cast<size_t>(got)) : "unknown";
        if (waitForBusyMachine) {
            std::fprintf(stderr,
                         "vtxlab %s: machine %s is in use by another vtxlab (%s); "
                         "waiting for it (--wait)\n",
                         command.c_str(), dir.c_str(), who.c_str());
            std::fflush(stderr);
            int rc = 0;
            while ((rc = flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
            }
            if (rc == 0) {
                WriteHolder(command);
                made_.emplace(dir);
                return;
            }
        }
        close(fd_);
        fd_ = -1;
        throw LabError("machine " + dir.string() + " is in use by another vtxlab (" + who +
                       "); try again when it has finished");
    }
    WriteHolder(command);
    made_.emplace(dir);
}

// Only a later refusal's message reads the holder: a failed write costs nothing else.
void CommandLock::WriteHolder(const std::string& command) {
    std::string holder = command + ", process " + std::to_string(getpid());
    if (ftruncate(fd_, 0) == 0) {
        ssize_t written = pwrite(fd_, holder.data(), holder.size(), 0);
        (void)written;
    }
}

void WaitForBusyMachine(bool wait) {
    waitForBusyMachine = wait;
}

CommandLock::~CommandLock() {
    made_.reset(); // while the lock is held
    if (fd_ >= 0)
        close(fd_);
}

} // namespace lab
