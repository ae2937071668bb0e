// The machine's drives: "X:\..." lives in <machine>/drive_x/. Names are matched without
// regard to case and keep the case they were created with. Call inside a sim::MachineLock.
#pragma once

#include "platform/win32api.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The Windows directory, where a profile file given by bare name lives.
inline constexpr std::string_view WindowsDirectory = "C:\\WINDOWS";
inline constexpr std::string_view SystemDirectory = "C:\\WINDOWS\\SYSTEM";

// The host path of a Windows path: components matched without regard to case where they
// exist, the rest as given; "." and ".." resolved, '\' and '/' both separators, a path
// without a drive on C:. Empty with *error (3 a directory on the way is missing, 123 a bad
// name, 206 too long) when it cannot be mapped; *error is 0 otherwise.
std::filesystem::path HostPathFor(std::string_view windowsPath, DWORD* error);
// True for an existing file or directory.
bool WindowsFileExists(std::string_view windowsPath);
// True when the host file lacks the write permission that stands for FILE_ATTRIBUTE_READONLY.
bool IsReadOnly(const std::filesystem::path& host);

// 0, or ERROR_SHARING_VIOLATION when a file open in this process does not allow an open
// with access (GENERIC_READ/GENERIC_WRITE) and share mode.
DWORD CheckSharing(const std::filesystem::path& host, DWORD access, DWORD share);
// 0, or ERROR_SHARING_VIOLATION when the file is open at all (it cannot be deleted or replaced).
DWORD CheckNotOpen(const std::filesystem::path& host);

// For the controls; each takes the machine's lock itself. A path that cannot be mapped throws
// std::invalid_argument.
std::filesystem::path HostPath(const std::string& windowsPath);
void PutFile(const std::string& windowsPath, std::string_view contents);
std::optional<std::string> GetFileContents(const std::string& windowsPath);
bool FileExists(const std::string& windowsPath);
void SetReadOnly(const std::string& windowsPath, bool readOnly);
void MakeDirectory(const std::string& windowsPath);
// Every file and directory on every drive, as Windows paths with their stored case, sorted.
std::vector<std::string> FileTree();

} // namespace sim
