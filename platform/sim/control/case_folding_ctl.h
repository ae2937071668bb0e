// Control: the machine's rules for names that differ only in case (case_folding.h says which
// Win32 call folds which way), for tools that must group names as the machine does.
#pragma once

#include <string>
#include <string_view>

namespace vtxsim {

// ASCII: A-Z and a-z only, every other byte as it is; the registry's and the device names' rule.
std::string FoldAscii(std::string_view text);
bool SameAscii(std::string_view a, std::string_view b);
bool StartsWithAscii(std::string_view text, std::string_view prefix);

} // namespace vtxsim
