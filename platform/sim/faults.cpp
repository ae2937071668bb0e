#include "platform/sim/faults.h"

#include <map>
#include <mutex>

namespace {

struct Plan {
    bool always = false;
    DWORD code = 0;
    std::map<unsigned, DWORD> codes; // call number -> error code
};

struct Faults {
    std::mutex mutex;
    std::map<std::string, unsigned, std::less<>> calls;
    std::map<std::string, Plan, std::less<>> plans;
};

Faults& State() {
    static Faults* faults = new Faults;
    return *faults;
}

} // namespace

namespace sim {

DWORD InjectedFailure(std::string_view function) {
    Faults& f = State();
    std::lock_guard guard(f.mutex);
    auto count = f.calls.find(function);
    if (count == f.calls.end())
        count = f.calls.emplace(std::string(function), 0).first;
    unsigned call = ++count->second;
    auto plan = f.plans.find(function);
    if (plan == f.plans.end())
        return 0;
    if (plan->second.always)
        return plan->second.code;
    auto hit = plan->second.codes.find(call);
    return hit == plan->second.codes.end() ? 0 : hit->second;
}

void FailCall(const std::string& function, unsigned nth, DWORD code) {
    Faults& f = State();
    std::lock_guard guard(f.mutex);
    unsigned done = f.calls[function];
    f.plans[function].codes[done + nth] = code;
}

void FailEveryCall(const std::string& function, DWORD code) {
    Faults& f = State();
    std::lock_guard guard(f.mutex);
    Plan& plan = f.plans[function];
    plan.always = true;
    plan.code = code;
}

void ClearFailures() {
    Faults& f = State();
    std::lock_guard guard(f.mutex);
    f.plans.clear();
    f.calls.clear();
}

unsigned CallCount(const std::string& function) {
    Faults& f = State();
    std::lock_guard guard(f.mutex);
    auto it = f.calls.find(function);
    return it == f.calls.end() ? 0 : it->second;
}

} // namespace sim
