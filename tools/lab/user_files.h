// Files the user names on the command line, and registries exported from other machines.
#pragma once

#include "platform/sim/control/registry_ctl.h"

#include <filesystem>
#include <string>

namespace lab {

// The whole file; an unreadable one throws LabError("cannot read <file>: <reason>").
std::string ReadUserFile(const std::filesystem::path& file);

// A registry export merged into a machine.
struct ForeignRegistry {
    unsigned skipped = 0; // sections of roots the machine does not keep
    // Where each key and value stands in the file: places.Key(keyPath) and
    // places.Value(keyPath, name) give its line and its name as spelled in the file.
    vtxsim::RegistryPlaces places;
};

// Merges a registry export (REGEDIT4, or "Windows Registry Editor Version 5.00" in UTF-16 or
// ANSI) into the current machine. A file that cannot be read throws LabError naming it and
// saying what to ask its sender for, and leaves the registry unchanged.
ForeignRegistry ImportForeignRegistry(const std::filesystem::path& file);
// The same for export text read from elsewhere (the collector's report), errors named by source.
ForeignRegistry ImportForeignRegistryText(const std::string& exported, const std::string& source);

} // namespace lab
