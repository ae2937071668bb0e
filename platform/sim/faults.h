// Injected failures: a test names a platform function and which of its next calls fail.
#pragma once

#include "platform/win32api.h"

#include <string>
#include <string_view>

namespace sim {

// Counts one call of function; returns the error code it must fail with, or 0 to go on.
DWORD InjectedFailure(std::string_view function);

// Per process, not persisted. The nth call from now of function (1 = the next one) fails with
// code; or every call until ClearFailures.
void FailCall(const std::string& function, unsigned nth, DWORD code);
void FailEveryCall(const std::string& function, DWORD code);
void ClearFailures();
// How many times function has been called since the last ClearFailures.
unsigned CallCount(const std::string& function);

} // namespace sim
