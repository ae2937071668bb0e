#include "tools/lab/collector_report_json.h"

namespace lab {
namespace {

template <class T> nlohmann::json OrNull(const std::optional<T>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

} // namespace

nlohmann::json ReportedFilesJson(const std::vector<ReportedFile>& files) {
    nlohmann::json out = nlohmann::json::array();
    for (const ReportedFile& f : files)
        out.push_back({{"kind", f.kind},
                       {"path", f.path},
                       {"present", f.present},
                       {"size", OrNull(f.size)},
                       {"attributes", OrNull(f.attributes)},
                       {"date", f.date},
                       {"version", f.version},
                       {"error", OrNull(f.error)}});
    return out;
}

nlohmann::json ReportedSpoolerJson(const CollectorReport& report) {
    nlohmann::json monitors = nlohmann::json::array();
    for (const ReportedMonitor& m : report.monitors.records)
        monitors.push_back({{"name", m.name}, {"dll", m.dll}, {"environment", m.environment}});
    nlohmann::json ports = nlohmann::json::array();
    for (const ReportedPort& p : report.ports.records)
        ports.push_back({{"name", p.name},
                         {"monitor", p.monitor},
                         {"description", p.description},
                         {"type", p.type}});
    nlohmann::json printers = nlohmann::json::array();
    for (const ReportedPrinter& p : report.printers.records)
        printers.push_back({{"name", p.name},
                            {"port", p.port},
                            {"driver", p.driver},
                            {"status", p.status},
                            {"attributes", p.attributes}});
    return {{"monitors", monitors}, {"monitorsError", OrNull(report.monitors.error)},
            {"ports", ports},       {"portsError", OrNull(report.ports.error)},
            {"printers", printers}, {"printersError", OrNull(report.printers.error)}};
}

} // namespace lab
