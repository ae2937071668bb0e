#include "tools/lab/made_files.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_layout.h"

#include "platform/sim/control/files_ctl.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace lab {
namespace {

fs::path ListFile(const fs::path& dir) {
    return LabStateDir(dir) / "made";
}

PathSet ReadList(const fs::path& dir) {
    PathSet made;
    std::ifstream in(ListFile(dir));
    std::string line;
    while (std::getline(in, line)) {
        fs::path path = fs::path(line).lexically_normal();
        // Only what lies inside the machine: a hand-edited list cannot send a deletion elsewhere.
        if (!line.empty() && path.is_relative() && !path.empty() && *path.begin() != "..")
            made.insert(path);
    }
    return made;
}

} // namespace

PathSet TreeOf(const fs::path& dir) {
    PathSet tree;
    fs::path state = LabStateDir(dir).filename();
    fs::path marker = MarkerFile(dir).filename();
    std::error_code ec;
    fs::recursive_directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        fs::path relative = it->path().lexically_relative(dir);
        if (it.depth() == 0 && relative == state) {
            it.disable_recursion_pending();
            continue;
        }
        if (it.depth() == 0 && relative == marker)
            continue; // it goes last, if ever: a half-deleted machine is still known as one
        tree.insert(relative);
    }
    return tree;
}

bool HasMadeList(const fs::path& dir) {
    std::error_code ec;
    return fs::is_regular_file(ListFile(dir), ec);
}

void WriteMadeList(const fs::path& dir, const PathSet& made) {
    fs::path file = ListFile(dir);
    std::string text;
    for (const fs::path& path : made)
        text += path.string() + '\n';
    vtxsim::AtomicWrite written = vtxsim::WriteFileAtomically(file, text);
    if (written.failed == vtxsim::AtomicWrite::Step::Writing)
        throw LabError("cannot write " + written.temporary.string());
    if (written.failed == vtxsim::AtomicWrite::Step::Replacing)
        throw LabError("cannot write " + file.string() + ": " + written.error.message());
}

void DeleteMade(const fs::path& dir) {
    PathSet made = ReadList(dir);
    std::vector<fs::path> dirs;
    std::error_code ec;
    for (const fs::path& path : made) {
        fs::path full = dir / path;
        if (fs::is_symlink(full, ec) || !fs::is_directory(full, ec))
            fs::remove(full, ec);
        else
            dirs.push_back(full);
    }
    // Deepest first; remove() leaves a directory that still holds something of the user's.
    std::sort(dirs.begin(), dirs.end(), [](const fs::path& a, const fs::path& b) {
        return std::distance(a.begin(), a.end()) > std::distance(b.begin(), b.end());
    });
    for (const fs::path& path : dirs)
        fs::remove(path, ec);
}

MadeFilesRecorder::MadeFilesRecorder(const fs::path& dir) : dir_(dir), before_(TreeOf(dir)) {}

MadeFilesRecorder::~MadeFilesRecorder() {
    try {
        PathSet after = TreeOf(dir_);
        PathSet made;
        for (const fs::path& path : ReadList(dir_)) {
            if (after.contains(path))
                made.insert(path);
        }
        for (const fs::path& path : after) {
            if (!before_.contains(path))
                made.insert(path);
        }
        WriteMadeList(dir_, made);
    } catch (const std::exception&) {
        // The list stays as it was: what this command made is then kept by a later --force.
    }
}

} // namespace lab
