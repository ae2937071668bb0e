#include "tools/lab/monitor_checks.h"
#include "tools/lab/shown_text.h"

#include "common/product_names.h"
#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

namespace lab {

void CheckMonitorInstances(const std::vector<InterfaceView>& interfaces,
                           const std::vector<std::string>& ourInstances, Problems* problems) {
    const std::string monitors = kHklm + vtxsim::kMonitorsKeyPath;
    for (const std::string& name : vtxsim::MonitorNames()) {
        if (!DeviceOfSerial(name))
            continue;
        std::string key = monitors + "\\" + name;
        std::optional<std::string> driver = vtxsim::StringValue(key, "Driver");
        if (driver && NamesOurMonitor(*driver))
            continue;
        problems->Add(
            ProblemCode::MonitorInstanceWrongDriver, key, driver ? "Driver" : "",
            driver ? fmt::format("monitor instance \"{}\" of printer {} names Driver "
                                 "\"{}\", not {}: the spooler loads that file, or nothing, "
                                 "for it",
                                 Shown(name), Shown(name), Shown(*driver), MONITOR_FILE_NAME)
                   : fmt::format("monitor instance \"{}\" of printer {} has no Driver "
                                 "value: the spooler loads nothing for it",
                                 Shown(name), Shown(name)),
            "set Driver=\"" MONITOR_FILE_NAME "\", or detach and attach the printer again");
    }
    if (ourInstances.empty() && !interfaces.empty())
        problems->Add(ProblemCode::NoMonitorInstance, monitors, "",
                      fmt::format("no monitor instance names {}: the spooler loads no monitor "
                                  "of ours and lists none of the {} interfaces' ports",
                                  MONITOR_FILE_NAME, interfaces.size()),
                      "detach and attach one of the printers again, so that the helper registers "
                      "its monitor instance");
}

} // namespace lab
