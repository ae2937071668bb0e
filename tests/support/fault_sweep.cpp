#include "support/fault_sweep.h"

#include "platform/sim/control/fault_ctl.h"

#include <set>

namespace vtxtest {

std::string Describe(const FaultPoint& point) {
    return point.function + " #" + std::to_string(point.nth) + " (error " +
           std::to_string(point.code) + ")";
}

bool ReleasesSomething(const std::string& function) {
    static const std::set<std::string> releasing = {"RegCloseKey", "CloseHandle", "GlobalFree",
                                                    "SetupDiDestroyDeviceInfoList",
                                                    "DestroyWindow"};
    return releasing.count(function) != 0;
}

std::vector<FaultPoint> CountFaultPoints(const Scenario& scenario,
                                         const std::vector<FaultKind>& kinds) {
    scenario.prepare();
    vtxsim::ClearFailures();
    scenario.run();
    std::vector<FaultPoint> points;
    for (const FaultKind& kind : kinds) {
        unsigned calls = vtxsim::CallCount(kind.function);
        for (unsigned nth = 1; nth <= calls; nth++)
            points.push_back({kind.function, nth, kind.code});
    }
    vtxsim::ClearFailures();
    return points;
}

void RunWithFault(const Scenario& scenario, const FaultPoint& point) {
    scenario.prepare();
    vtxsim::ClearFailures();
    vtxsim::FailCall(point.function, point.nth, point.code);
    scenario.run();
    vtxsim::ClearFailures();
}

} // namespace vtxtest
