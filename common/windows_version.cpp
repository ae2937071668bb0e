#include "common/windows_version.h"
#include "common/bounded_text.h"

BOOL IsWindows4AtLeast(DWORD leastMinor) {
    OSVERSIONINFOA version;
    MemoryZero(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version))
        return FALSE;
    return version.dwMajorVersion == 4 && version.dwMinorVersion >= leastMinor;
}
