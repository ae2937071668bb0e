#include "platform/sim/control/fault_ctl.h"

#include "platform/sim/faults.h"

namespace vtxsim {

void FailCall(const std::string& function, unsigned nth, DWORD code) {
    sim::FailCall(function, nth, code);
}

void FailEveryCall(const std::string& function, DWORD code) {
    sim::FailEveryCall(function, code);
}

void ClearFailures() {
    sim::ClearFailures();
}

unsigned CallCount(const std::string& function) {
    return sim::CallCount(function);
}

} // namespace vtxsim
