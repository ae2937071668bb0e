// Control: what wininit.ini holds for the next restart, read back from the machine.
#pragma once

#include <string>
#include <vector>

namespace vtxsim {

// The lines of every "[rename]" section of the Windows directory's wininit.ini, in order
// ("<path>=<source>", "NUL=<path>"), read as WININIT reads them; none without the file or a
// section.
std::vector<std::string> RenameEntries();

} // namespace vtxsim
