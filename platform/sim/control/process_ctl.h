// Control: the programs started on the machine. The maker's programs are not run; each start
// is a record in the journal of the machine directory, which every process of the machine sees.
#pragma once

#include "platform/sim/machine_types.h"

#include <string>
#include <vector>

namespace vtxsim {

// ProcessStart: machine_types.h.
std::vector<ProcessStart> ProcessJournal();
void ClearProcessJournal();

} // namespace vtxsim
