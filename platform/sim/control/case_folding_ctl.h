// Control: the machine's rules for names that differ only in case (case_folding.h says which
// Win32 call folds which way), for tools that must group names as the machine does.
#pragma once

#include "platform/sim/case_folding.h"

namespace vtxsim {

using sim::FoldAscii;
using sim::SameAscii;
using sim::StartsWithAscii;

} // namespace vtxsim
