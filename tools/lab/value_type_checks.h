// explain's check of value types: the product never looks at a value's type and reads its
// bytes as they are; a value written with another type than its readers expect is named with
// what the product makes of it.
#pragma once

#include "tools/lab/diagnosis.h"

namespace lab {

void CheckValueTypes(const std::vector<InterfaceView>& interfaces,
                     const std::vector<PortOutcome>& outcomes, Problems* problems);

} // namespace lab
