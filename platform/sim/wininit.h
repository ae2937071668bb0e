// wininit.ini's "[rename]" sections, read as WININIT reads them at a restart: every such section
// (its name matched without regard to case), line by line, duplicates included.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The lines of every "[rename]" section of the file's text, in file order, without the blanks
// around them; empty lines are left out. Comments and lines without '=' are kept: WININIT
// passes over them, a reader that shows the file does not.
std::vector<std::string> RenameSectionLines(std::string_view text);
// The same lines, section by section: a profile function of Windows 98 changes only the first
// such section.
std::vector<std::vector<std::string>> RenameSections(std::string_view text);

// text without the spaces, tabs and carriage returns around it.
std::string_view TrimIniBlanks(std::string_view text);

} // namespace sim
