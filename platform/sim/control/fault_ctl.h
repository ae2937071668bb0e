// Control: make platform calls fail. Failures are per process and not persisted.
#pragma once

#include "platform/win32api.h"

#include <string>

namespace vtxsim {

// The nth call from now of function (1 = the next one) fails with code.
void FailCall(const std::string& function, unsigned nth, DWORD code);
// Every call of function fails with code until ClearFailures.
void FailEveryCall(const std::string& function, DWORD code);
void ClearFailures();
// How many times function has been called since the last ClearFailures.
unsigned CallCount(const std::string& function);

} // namespace vtxsim
