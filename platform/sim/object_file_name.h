// Machine-wide objects (named mutexes, printers) live as files in the machine directory, so that
// every process using the machine sees them; this is how an object's name becomes a file name.
#pragma once

#include <string>
#include <string_view>

namespace sim {

// name as a file name: ASCII letters and digits and the characters of kept as they are, a
// backslash as backslashAs when that is not '\0', every other byte as %XX (upper-case hex).
// kept must not hold '%', nor a character a file name cannot hold.
std::string ObjectFileName(std::string_view name, std::string_view kept, char backslashAs = '\0');

} // namespace sim
