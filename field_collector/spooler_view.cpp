// The spooler section: what the spooler itself lists, which is what the customer sees.
//   monitors count=N          then one line a monitor: monitor "NAME" dll="DLL" environment="E"
//   ports count=N             then one line a port: port "NAME" monitor="M" description="D"
//                             type=0xHHHHHHHH
//   printers count=N          then one line a printer: printer "NAME" port="P" driver="D"
//                             status=0xHHHHHHHH attributes=0xHHHHHHHH
// A list that cannot be had says "error=N" in place of its count.
#include "field_collector/collector.h"

#define LIST_TRIES 3

enum SpoolerList { MONITOR_LIST, PORT_LIST, PRINTER_LIST };

static BOOL CallList(int list, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
    if (list == MONITOR_LIST)
        return EnumMonitorsA(NULL, 2, buffer, size, needed, returned);
    if (list == PORT_LIST)
        return EnumPortsA(NULL, 2, buffer, size, needed, returned);
    return EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, size, needed, returned);
}

// The list in a buffer of its own (GlobalFree it), or NULL with *error. The size is asked
// first; a list that grew meanwhile is asked again.
static HGLOBAL ReadList(int list, DWORD* count, DWORD* error) {
    DWORD needed = 0;
    DWORD returned = 0;
    DWORD callError;
    int tries;
    *count = 0;
    *error = ERROR_SUCCESS;
    if (CallList(list, NULL, 0, &needed, &returned)) {
        return NULL; // nothing listed
    }
    for (tries = 0; tries < LIST_TRIES; tries++) {
        HGLOBAL buffer;
        DWORD size = needed;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) {
            *error = GetLastError();
            return NULL;
        }
        buffer = GlobalAlloc(GPTR, size);
        if (buffer == NULL) {
            *error = ERROR_NOT_ENOUGH_MEMORY;
            return NULL;
        }
        if (CallList(list, (LPBYTE)buffer, size, &needed, &returned)) {
            *count = returned;
            return buffer;
        }
        callError = GetLastError(); // the next try reads it after the buffer has gone
        GlobalFree(buffer);
        SetLastError(callError);
    }
    *error = GetLastError();
    return NULL;
}

static void ReportField(LPCSTR name, LPCSTR text) {
    ReportText(" ");
    ReportText(name);
    ReportText("=");
    ReportQuoted(text != NULL ? text : "");
}

static void ReportNumberField(LPCSTR name, DWORD value) {
    ReportText(" ");
    ReportText(name);
    ReportText("=0x");
    ReportHex(value, 8);
}

// "NAME count=N" or "NAME error=N".
static HGLOBAL ReportList(int list, LPCSTR name, DWORD* count) {
    DWORD error = ERROR_SUCCESS;
    HGLOBAL buffer = ReadList(list, count, &error);
    ReportText(name);
    if (error != ERROR_SUCCESS) {
        ReportError(error);
    } else {
        ReportText(" count=");
        ReportDecimal(*count);
    }
    ReportBytes("\r\n", 2);
    return buffer;
}

void CollectSpooler(void) {
    DWORD count = 0;
    DWORD i;
    HGLOBAL buffer;
    ReportSection("spooler");

    buffer = ReportList(MONITOR_LIST, "monitors", &count);
    for (i = 0; buffer != NULL && i < count; i++) {
        MONITOR_INFO_2A* monitor = (MONITOR_INFO_2A*)buffer + i;
        ReportText("monitor ");
        ReportQuoted(monitor->pName != NULL ? monitor->pName : "");
        ReportField("dll", monitor->pDLLName);
        ReportField("environment", monitor->pEnvironment);
        ReportBytes("\r\n", 2);
    }
    if (buffer != NULL)
        GlobalFree(buffer);

    buffer = ReportList(PORT_LIST, "ports", &count);
    for (i = 0; buffer != NULL && i < count; i++) {
        PORT_INFO_2A* port = (PORT_INFO_2A*)buffer + i;
        ReportText("port ");
        ReportQuoted(port->pPortName != NULL ? port->pPortName : "");
        ReportField("monitor", port->pMonitorName);
        ReportField("description", port->pDescription);
        ReportNumberField("type", port->fPortType);
        ReportBytes("\r\n", 2);
    }
    if (buffer != NULL)
        GlobalFree(buffer);

    buffer = ReportList(PRINTER_LIST, "printers", &count);
    for (i = 0; buffer != NULL && i < count; i++) {
        PRINTER_INFO_2A* printer = (PRINTER_INFO_2A*)buffer + i;
        ReportText("printer ");
        ReportQuoted(printer->pPrinterName != NULL ? printer->pPrinterName : "");
        ReportField("port", printer->pPortName);
        ReportField("driver", printer->pDriverName);
        ReportNumberField("status", printer->Status);
        ReportNumberField("attributes", printer->Attributes);
        ReportBytes("\r\n", 2);
    }
    if (buffer != NULL)
        GlobalFree(buffer);
}
