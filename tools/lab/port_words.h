// explain's words for what the monitor makes of a customer's ports: of each interface's values,
// and of each printer's Port value.
#pragma once

#include "tools/lab/diagnosis.h"
#include "tools/lab/export_discovery.h"
#include "tools/lab/machine_view.h"

#include <string>
#include <vector>

namespace lab {

// Interface i's verdict in words, from what the discovery found; a problem of the interface
// joins the list.
std::string InterfaceWords(const std::vector<InterfaceView>& all, const Discovery& found, size_t i,
                           Problems* problems);
// The words for a printer's port, from the same verdict its problems come from.
const char* PrinterPortWords(const PrinterPortVerdict& verdict);

} // namespace lab
