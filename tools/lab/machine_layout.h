// Where a vtxlab machine keeps what: the marker file that makes a directory one, and vtxlab's own
// state directory beside the simulator's files.
#pragma once

#include <filesystem>

namespace lab {

bool IsLabMachine(const std::filesystem::path& dir);
std::filesystem::path MarkerFile(const std::filesystem::path& dir);
// vtxlab's own files of the machine (lock, the last command's snapshots, the list of what it made).
std::filesystem::path LabStateDir(const std::filesystem::path& dir);

} // namespace lab
