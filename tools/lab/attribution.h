// Whose change is it: a device command that ran during a print changed the printer too. diff
// gives each command only what it changed itself.
#pragma once

#include "tools/lab/snapshot.h"

#include <vector>

namespace lab {

// The last command's before-snapshot with the changes of the commands that ran during it
// already made, so that comparing it with the after-snapshot leaves the last command's own.
Snapshot WithChangesOf(Snapshot before, const std::vector<CommandRecord>& during);

} // namespace lab
