// The header section: the collector's version, Windows as GetVersionExA gives it, the local
// time and where the report was written.
//   collector 1.0.0
//   windows 4.10.1998 platform=1 csd=" A "
//   local-time 2026-12-10T04:00:00
//   report C:\WINDOWS\VTXDIAG.TXT
#include "common/bounded_text.h"
#include "field_collector/collector.h"

void CollectHeader(LPCSTR reportPath) {
    OSVERSIONINFOA version;
    SYSTEMTIME now;
    CHAR text[96];
    ReportSection("header");
    ReportText("collector ");
    ReportLine(VTX_COLLECTOR_VERSION);

    MemoryZero(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    if (GetVersionExA(&version)) {
        // Windows 9x keeps its major and minor version in the build number's high word.
        DWORD build = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS
                          ? (version.dwBuildNumber & 0xFFFF)
                          : version.dwBuildNumber;
        wsprintfA(text, "windows %u.%u.%u platform=%u csd=", (unsigned)version.dwMajorVersion,
                  (unsigned)version.dwMinorVersion, (unsigned)build,
                  (unsigned)version.dwPlatformId);
        ReportText(text);
        version.szCSDVersion[sizeof(version.szCSDVersion) - 1] = '\0';
        ReportQuoted(version.szCSDVersion);
        ReportBytes("\r\n", 2);
    } else {
        ReportText("windows none");
        ReportError(GetLastError());
        ReportBytes("\r\n", 2);
    }

    GetLocalTime(&now);
    wsprintfA(text, "local-time %04u-%02u-%02uT%02u:%02u:%02u", (unsigned)now.wYear,
              (unsigned)now.wMonth, (unsigned)now.wDay, (unsigned)now.wHour, (unsigned)now.wMinute,
              (unsigned)now.wSecond);
    ReportLine(text);
    ReportText("report ");
    ReportLine(reportPath);
}
