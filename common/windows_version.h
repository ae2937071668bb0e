// The Windows version test: the images run on the 4.x line of Windows, 98 (4.10) and ME (4.90).
#ifndef VTX_COMMON_WINDOWS_VERSION_H
#define VTX_COMMON_WINDOWS_VERSION_H

#include "platform/win32api.h"

#define WINDOWS_98_MINOR 10
#define WINDOWS_ME_MINOR 90

// TRUE on Windows 4.x with a minor version of at least leastMinor; FALSE on any other version
// and when the version cannot be had.
BOOL IsWindows4AtLeast(DWORD leastMinor);

#endif // VTX_COMMON_WINDOWS_VERSION_H
