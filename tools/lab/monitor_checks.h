// explain's check of the spooler's monitor instances for the maker's printers.
#pragma once

#include "tools/lab/diagnosis.h"

namespace lab {

// An instance named by a printer's serial whose Driver is not vtxpmo01.dll, and printer
// interfaces without any instance of vtxpmo01.dll.
void CheckMonitorInstances(const std::vector<InterfaceView>& interfaces,
                           const std::vector<std::string>& ourInstances, Problems* problems);

} // namespace lab
