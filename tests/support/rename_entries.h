// What "wininit.ini" holds for the next restart, as a test reads it back.
#pragma once

#include <string>
#include <vector>

namespace vtxtest {

// The entries of the "RENAME" section, in order, as the platform reads them.
std::vector<std::string> RenameEntries();

} // namespace vtxtest
