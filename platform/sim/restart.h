// The restart of the machine: WININIT's "RENAME" section, then the RunOnce values.
#pragma once

#include "platform/sim/machine_types.h"

#include <string>
#include <vector>

namespace sim {

std::vector<vtxsim::RestartStep> RestartMachine();
std::string Describe(const vtxsim::RestartStep& step);

} // namespace sim
