#include "platform/sim/simulated_call.h"

namespace sim {

void EndCall(OnSuccess onSuccess, const CallEnding& ending) {
    if (ending.failed)
        SetLastError(ending.error);
    else if (ending.lastError)
        SetLastError(*ending.lastError);
    else if (onSuccess == OnSuccess::ClearsLastError)
        SetLastError(ERROR_SUCCESS);
}

CallLock::CallLock(Locking locking) {
    if (locking == Locking::Machine)
        lock_.emplace();
}

} // namespace sim
