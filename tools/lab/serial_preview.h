// What an attach and a removal of one printer would do on a customer's machine: the real helper
// run on copies of explain's throw-away machine, the maker's files taken as installed, since the
// export holds none of the customer's files.
#pragma once

#include "tools/lab/explanation.h"

#include <string>

namespace lab {

// The serial's device is on the machine (explain has checked). As text on stdout, or into the
// document with json.
void ExplainSerial(const std::string& serial, Explanation& e, bool json);

} // namespace lab
