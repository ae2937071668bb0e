// Fault sweeps: run one scenario cleanly to count its platform calls, then once more for every
// call, from a fresh start each time, with that one call failing.
#pragma once

#include "platform/win32api.h"

#include <functional>
#include <string>
#include <vector>

namespace vtxtest {

// A platform function and the error its failure reports.
struct FaultKind {
    std::string function;
    DWORD code = 0;
};

// One run of a sweep: the nth call of function fails with code.
struct FaultPoint {
    std::string function;
    unsigned nth = 0;
    DWORD code = 0;
};

// "RegOpenKeyExA #3 (error 5)", for failure messages.
std::string Describe(const FaultPoint& point);

// Functions that give something back (a handle, a block): when such a call fails, the
// simulator keeps what it was to release, so one more of it stays alive.
bool ReleasesSomething(const std::string& function);

struct Scenario {
    std::function<void()> prepare; // a fresh machine and program state; not counted
    std::function<void()> run;     // the path under test; its platform calls are counted
};

// Runs the scenario once without failures and returns one point for each call it made of each
// kind, in order. prepare runs first, then the counts start from zero.
std::vector<FaultPoint> CountFaultPoints(const Scenario& scenario,
                                         const std::vector<FaultKind>& kinds);

// prepare, then run with the one failure planned; failures are cleared again afterwards.
void RunWithFault(const Scenario& scenario, const FaultPoint& point);

} // namespace vtxtest
