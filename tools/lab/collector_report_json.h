// The field collector's report in explain's --json: the file inventory and the spooler's lists
// as the report gives them, null where it gives nothing.
#pragma once

#include "tools/lab/collector_report.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace lab {

nlohmann::json ReportedFilesJson(const std::vector<ReportedFile>& files);
// {"monitors": [...], "monitorsError": ..., "ports": ..., "printers": ...}
nlohmann::json ReportedSpoolerJson(const CollectorReport& report);

} // namespace lab
