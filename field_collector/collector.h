// The field collector, vtxdiag: reads what the product and its diagnosis read on a customer's
// machine (the registry keys, wininit.ini, the maker's files, the spooler's lists) and writes
// it to one text report. It changes nothing; whatever it cannot read is written into the
// report as such, and it goes on.
//
// The report: lines ending in CR LF; each section starts with a line "#vtxdiag section NAME"
// (wininit.ini's with its length, "bytes=N", and then exactly N bytes of the file), the first
// line is "#vtxdiag report 1" and the last "#vtxdiag end".
#ifndef VTX_FIELD_COLLECTOR_COLLECTOR_H
#define VTX_FIELD_COLLECTOR_COLLECTOR_H

#include "platform/win32api.h"

#define COLLECTOR_TEXT_SIZE 1024
// Windows 98 key and value names are at most 255 characters; a key path has many.
#define COLLECTOR_NAME_SIZE 256
#define COLLECTOR_PATH_SIZE 2048

// The report file: a buffered writer over WriteFile. After the first failed write every
// further write is dropped and ReportClose returns that failure.
BOOL ReportOpen(LPCSTR path);
void ReportBytes(const void* data, DWORD count);
void ReportText(LPCSTR text);
void ReportLine(LPCSTR text);
// Unsigned decimal, and hex with the given number of digits (0 for as many as it takes).
void ReportDecimal(DWORD value);
void ReportHex(DWORD value, int digits);
// text in double quotes, '\' and '"' escaped with '\', other bytes below 0x20 as "\xNN".
void ReportQuoted(LPCSTR text);
// A section's first line, "#vtxdiag section NAME".
void ReportSection(LPCSTR name);
// " error=N" for a failed call.
void ReportError(DWORD error);
// " date=YYYY-MM-DDTHH:MM:SS" of a file time, in local time.
void ReportFileDate(const FILETIME* time);
DWORD ReportClose(void);

// The sections, in their order in the report.
void CollectHeader(LPCSTR reportPath);
void CollectRegistry(void);
void CollectWininit(void);
void CollectFiles(void);
void CollectSpooler(void);

// wininit.ini's text, read by CollectWininit for the queued copies CollectFiles lists; NULL
// when it could not be read.
extern LPCSTR WininitText;
extern DWORD WininitLength;

#endif // VTX_FIELD_COLLECTOR_COLLECTOR_H
