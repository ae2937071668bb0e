// Whether what explain says of a registry depends on the order in which the registry enumerates
// subkeys, which nothing in Windows 98 promises: the simulator keeps creation order, Wine sorts.
#pragma once

namespace lab {

// Runs the monitor's discovery on the current machine in both orders and prints, when they
// differ, which port lists or prints to which device in each; prints nothing when they agree.
// The machine's order is left as it was.
void ExplainOrderDependence();

} // namespace lab
