// Whether what explain says of a registry depends on the order in which the registry enumerates
// subkeys, which nothing in Windows 98 promises: the simulator keeps creation order, Wine sorts.
#pragma once

#include "tools/lab/diagnosis.h"

namespace lab {

// Runs the monitor's discovery on the current machine in both orders and adds a problem for
// each port that lists or prints to another device in the other order; adds nothing when they
// agree. The machine's order is left as it was.
void CheckEnumerationOrder(Problems* problems);

} // namespace lab
