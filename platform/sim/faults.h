// Injected failures: a test names a platform function and which of its next calls fail.
#pragma once

#include "platform/win32api.h"

#include <string_view>

namespace sim {

// Counts one call of function; returns the error code it must fail with, or 0 to go on.
DWORD InjectedFailure(std::string_view function);

} // namespace sim
