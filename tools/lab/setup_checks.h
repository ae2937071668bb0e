// explain's checks of the setup the helper prepares: what it recorded in each CmdLine, CmdLines
// the setup program cannot use, and setups RunOnce will not run.
#pragma once

#include "tools/lab/problem.h"

namespace lab {

void CheckSetups(Problems* problems);

} // namespace lab
