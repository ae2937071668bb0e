// explain's checks of the setup the helper prepares: what it recorded in each CmdLine, CmdLines
// the setup program cannot use, setups RunOnce will not run, and printers the previous helper
// took for set up.
#pragma once

#include "tools/lab/problem.h"

namespace lab {

void CheckSetups(Problems* problems);

} // namespace lab
