#include "platform/sim/control/process_ctl.h"

#include "platform/sim/processes.h"

namespace vtxsim {

std::vector<ProcessStart> ProcessJournal() {
    return sim::ProcessJournal();
}

void ClearProcessJournal() {
    sim::ClearProcessJournal();
}

} // namespace vtxsim
