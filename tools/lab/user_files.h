// Files the user names on the command line, and registries exported from other machines.
#pragma once

#include <filesystem>
#include <string>

namespace lab {

// The whole file; an unreadable one throws LabError naming it.
std::string ReadUserFile(const std::filesystem::path& file);
// Merges a REGEDIT4 export into the current machine, the sections of roots the machine does not
// keep skipped (their count returned). A malformed file throws LabError("<file>:<line>: ...")
// and leaves the registry unchanged.
unsigned ImportForeignRegistry(const std::filesystem::path& file);

} // namespace lab
