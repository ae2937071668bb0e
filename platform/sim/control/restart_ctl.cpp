#include "platform/sim/control/restart_ctl.h"

#include "platform/sim/restart.h"

namespace vtxsim {

std::vector<RestartStep> RestartMachine() {
    return sim::RestartMachine();
}

std::string Describe(const RestartStep& step) {
    return sim::Describe(step);
}

} // namespace vtxsim
