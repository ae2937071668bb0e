// Control: the machine's text is code page 1252; tools that show it as Unicode (JSON) read it
// out with the machine's own table.
#pragma once

#include <string>
#include <string_view>

namespace vtxsim {

std::string Utf8From1252(std::string_view text);

} // namespace vtxsim
