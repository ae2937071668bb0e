// The field collector's report (VTXDIAG.TXT) read back: its sections split at their header
// lines, the registry export kept as text for the one REGEDIT4 reader, the file inventory and
// the spooler's lists as records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lab {

struct ReportedFile {
    std::string kind; // "driver" or "queued-copy"
    std::string path;
    bool present = false;
    std::optional<std::uint32_t> size, attributes;
    std::string date;                   // "YYYY-MM-DDTHH:MM:SS", empty when not read
    std::string version;                // "A.B.C.D", empty when the file has none
    std::optional<std::uint32_t> error; // of the first call that failed for this file
    unsigned line = 0;                  // in the report
};

struct ReportedPort {
    std::string name, monitor, description;
    std::uint32_t type = 0;
    unsigned line = 0;
};

struct ReportedPrinter {
    std::string name, port, driver;
    std::uint32_t status = 0, attributes = 0;
    unsigned line = 0;
};

// A spooler list: its records, or the error the call gave; not seen when the report ends
// before it.
template <class Record> struct ReportedList {
    bool seen = false;
    unsigned line = 0; // of its count or error line
    std::optional<std::uint32_t> error;
    std::vector<Record> records;
};

struct ReportedMonitor {
    std::string name, dll, environment;
    unsigned line = 0;
};

struct CollectorReport {
    std::vector<std::pair<std::string, std::string>> header; // "collector", "windows", ...
    // The registry section's REGEDIT4 text, after as many empty lines as the report holds
    // before it, so that the reader's line numbers are the report's.
    std::string registry;
    std::vector<std::string> registryKeys; // what the collector says of each key it was asked
    std::optional<std::string> wininit;    // the file byte for byte; none when it was not read
    unsigned wininitLine = 0;              // the report's line of the file's first line
    bool filesSeen = false;                // the report reaches its files section
    std::vector<ReportedFile> files;
    ReportedList<ReportedMonitor> monitors;
    ReportedList<ReportedPort> ports;
    ReportedList<ReportedPrinter> printers;
    bool complete = false; // the report ends with its end line
};

// True when text starts as a collector's report does.
bool IsCollectorReport(std::string_view text);
// Throws LabError("<source>:<line>: <what>") on a report that cannot be split or read.
CollectorReport ReadCollectorReport(std::string_view text, const std::string& source);

} // namespace lab
