// Control: access to the simulated machine's drives. Paths are Windows paths ("C:\...");
// a path that cannot be mapped throws std::invalid_argument.
#pragma once

#include "platform/sim/machine_types.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vtxsim {

// Where the file lives on the host (it need not exist).
std::filesystem::path HostPath(const std::string& windowsPath);
// Writes the file, creating its directories; an existing file is replaced even if read-only.
void PutFile(const std::string& windowsPath, std::string_view contents);
std::optional<std::string> GetFileContents(const std::string& windowsPath);
// True for an existing file or directory.
bool FileExists(const std::string& windowsPath);
void SetReadOnly(const std::string& windowsPath, bool readOnly);
// Creates the directory and its parents.
void MakeDirectory(const std::string& windowsPath);
// Every file and directory on every drive, as Windows paths with their stored case, sorted.
std::vector<std::string> FileTree();

// Host files that tools keep beside a machine are replaced as the machine replaces its own:
// through a temporary beside the target and a rename. The directory must exist; AtomicWrite
// tells which step failed.
using sim::AtomicWrite;
AtomicWrite WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace vtxsim
