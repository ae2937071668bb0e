// What a test puts into an out-argument, a buffer or the last error before a call, so that it
// can tell afterwards that the call left it untouched.
#pragma once

#include "platform/win32api.h"

namespace vtxtest {

constexpr DWORD kMarker = 0xDEADBEEF; // a DWORD out-argument, a count or the last error
constexpr BYTE kByteMarker = 0xA5;    // every byte of a buffer

} // namespace vtxtest
