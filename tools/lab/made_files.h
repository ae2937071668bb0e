// The list of what vtxlab made in a machine directory ("vtxlab/made", one path a line, relative
// to the machine), so that starting a machine anew deletes that and nothing the user put there.
// vtxlab's own state directory and the marker are vtxlab's whole; the list covers the rest.
#pragma once

#include <filesystem>
#include <set>

namespace lab {

using PathSet = std::set<std::filesystem::path>;

// Every file and directory below dir (relative paths), but vtxlab's state directory and marker.
PathSet TreeOf(const std::filesystem::path& dir);
bool HasMadeList(const std::filesystem::path& dir);
void WriteMadeList(const std::filesystem::path& dir, const PathSet& made);
// Deletes what the list names, each directory only when nothing else is left in it.
void DeleteMade(const std::filesystem::path& dir);

// Held while a command changes a machine: what appeared meanwhile is added to the list, what is
// gone is dropped from it.
class MadeFilesRecorder {
  public:
    explicit MadeFilesRecorder(const std::filesystem::path& dir);
    ~MadeFilesRecorder();
    MadeFilesRecorder(const MadeFilesRecorder&) = delete;
    MadeFilesRecorder& operator=(const MadeFilesRecorder&) = delete;

  private:
    std::filesystem::path dir_;
    PathSet before_;
};

} // namespace lab
