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
// The same for REGEDIT4 text read from elsewhere (the collector's report), errors named by source.
unsigned ImportForeignRegistryText(const std::string& regedit4, const std::string& source);

} // namespace lab
