// Text rules of the system code page (1252) shared by the simulated modules.
#pragma once

#include <string_view>

namespace sim {

// The lower-case form of c in code page 1252: A-Z and the Latin-1 capitals fold.
char FoldCase(char c);
// Equal without regard to case, as Windows compares file, profile and window names.
bool EqualNoCase(std::string_view a, std::string_view b);

} // namespace sim
