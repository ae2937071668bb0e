// Test-only: what wininit.ini holds for the next restart, read back from the machine.
#pragma once

#include <string>
#include <vector>

namespace vtxsim {

// The entries of the "RENAME" section of the Windows directory's wininit.ini, in order, as
// GetPrivateProfileSectionA gives them ("<path>=<source>", "NUL=<path>"); none without the file
// or the section.
std::vector<std::string> RenameEntries();

} // namespace vtxsim
