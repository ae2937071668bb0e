// Control: what wininit.ini holds for the next restart, read back from the machine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vtxsim {

// The lines of every "[rename]" section of the Windows directory's wininit.ini, in order
// ("<path>=<source>", "NUL=<path>"), read as WININIT reads them; none without the file or a
// section.
std::vector<std::string> RenameEntries();
// The same entries of a wininit.ini's text (another machine's), section by section: Windows 98
// changes only the first "[rename]" section, Wine's profile functions take them as one.
std::vector<std::vector<std::string>> RenameSectionsOf(std::string_view text);

} // namespace vtxsim
