#include "tools/lab/fresh_machine.h"
#include "tools/lab/interrupt.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_layout.h"
#include "tools/lab/made_files.h"
#include "tools/lab/temp_dir.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <sys/stat.h>

#include <cstdio>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace lab {
namespace {

// "/a/b" of "b", "b/", "/a/b/".
fs::path Normal(const fs::path& dir) {
    fs::path path = fs::absolute(dir).lexically_normal();
    return path.filename().empty() ? path.parent_path() : path;
}

// Moves the new machine's files into the old machine's directory, whose own files are gone: a
// file of the user's in the way stays, and is named. vtxlab's own state and marker are replaced.
void MoveInto(const fs::path& from, const fs::path& to, bool ours) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(from)) {
        fs::path target = to / entry.path().filename();
        bool state = ours || target == LabStateDir(to) || target == MarkerFile(to);
        fs::file_status there = fs::symlink_status(target, ec);
        if (!fs::exists(there)) {
            fs::rename(entry.path(), target);
        } else if (entry.is_directory() && fs::is_directory(there)) {
            MoveInto(entry.path(), target, state);
        } else if (state) {
            fs::rename(entry.path(), target);
        } else {
            fmt::print(stderr,
                       "vtxlab: kept {}: it is not vtxlab's, so the new machine does "
                       "without its own\n",
                       target.string());
        }
    }
}

} // namespace

void MakeFreshMachine(const fs::path& dir, bool force, const std::string& command,
                      const std::function<void()>& setUp) {
    CheckNewMachineDir(dir, force);
    fs::path target = Normal(dir);
    bool over = IsLabMachine(target);
    std::optional<CommandLock> lock;
    if (over)
        lock.emplace(target, command);
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec)
        throw LabError("cannot create " + target.parent_path().string() + ": " + ec.message());
    TemporaryDir staging("." + target.filename().string() + ".vtxlab-new", target.parent_path());
    // mkdtemp's private mode would outlive the rename; a machine gets the mode mkdir gives.
    mode_t mask = umask(0);
    umask(mask);
    fs::permissions(staging.Path(), static_cast<fs::perms>(0777 & ~mask), ec);
    vtxsim::UseMachine(staging.Path());
    vtxsim::ResetMachine();
    setUp();
    PauseForTest(command.c_str());
    MarkAsMachine(staging.Path());
    WriteMadeList(staging.Path(), TreeOf(staging.Path()));
    if (!over) {
        // An empty directory is replaced whole; one that filled up meanwhile is refused.
        fs::rename(staging.Path(), target, ec);
        if (ec)
            throw LabError("cannot make " + target.string() + ": " + ec.message() +
                           "; nothing was changed");
        staging.Keep();
    } else {
        DeleteMade(target);
        MoveInto(staging.Path(), target, false);
    }
    vtxsim::UseMachine(target);
}

} // namespace lab
