// Text from the user or a customer's registry, made safe to show on one line: bytes outside
// printable ASCII escaped, long values shortened with their length.
#pragma once

#include <string>

namespace lab {

// "AB\xE9" for a serial holding a byte the terminal would show as a replacement character;
// a value longer than 64 characters keeps its start and says how long it was.
std::string Shown(const std::string& text);

} // namespace lab
