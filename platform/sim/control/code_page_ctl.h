// Control: the machine's text is code page 1252; tools that show it as Unicode (JSON) read it
// out with the machine's own table.
#pragma once

#include "platform/sim/code_page_1252.h"

namespace vtxsim {

using sim::Utf8From1252;

} // namespace vtxsim
