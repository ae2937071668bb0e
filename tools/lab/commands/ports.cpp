// vtxlab ports: the spooler loads the monitor and lists its ports, as EnumPorts gives them.
#include "tools/lab/command_options.h"
#include "tools/lab/commands.h"
#include "tools/lab/json_output.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/print_job.h"

#include "common/product_names.h"
#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <memory>

namespace lab {
namespace {

struct PortsOptions {
    std::filesystem::path machine;
    unsigned level = 2;
    bool json = false;
};

// {"version", "command": "ports", "machine", "level", "instances": [...], "ports": [...]}
int PortsJson(vtxsim::MonitorHost& host, unsigned level) {
    nlohmann::json doc = JsonDocument("ports");
    doc["machine"] = MachineWords();
    doc["level"] = level;
    doc["instances"] = nlohmann::json::array();
    for (const vtxsim::MonitorInstance& instance : host.Instances())
        doc["instances"].push_back({{"name", instance.name},
                                    {"initialized", instance.result != 0},
                                    {"error", instance.result ? 0 : instance.lastError}});
    doc["ports"] = nlohmann::json::array();
    if (!host.Instances().empty()) {
        vtxsim::EnumPortsResult ports = host.EnumPorts(level);
        if (!ports.ok)
            throw LabError(
                fmt::format("EnumPorts level {} failed with error {}", level, ports.error));
        for (const vtxsim::PortInfo& port : ports.ports)
            doc["ports"].push_back(level == 1 ? nlohmann::json{{"name", port.name}}
                                              : nlohmann::json{{"name", port.name},
                                                               {"monitor", port.monitor},
                                                               {"description", port.description},
                                                               {"type", port.type}});
    }
    PrintJson(doc);
    return 0;
}

int RunPorts(const PortsOptions& o) {
    // No command lock: the ports may be listed while a job prints.
    OpenMachine(o.machine);
    vtxsim::MonitorHost host;
    StartMonitor(host);
    if (o.json)
        return PortsJson(host, o.level);
    fmt::print("{}\n", MachineWords());
    if (host.Instances().empty()) {
        fmt::print("no instance of {} is registered: the spooler loads no monitor, there are no "
                   "ports\n",
                   MONITOR_FILE_NAME);
        return 0;
    }
    for (const vtxsim::MonitorInstance& instance : host.Instances())
        fmt::print("monitor instance \"{}\": InitializeMonitorEx {}\n", instance.name,
                   instance.result ? "succeeded"
                                   : fmt::format("failed (error {})", instance.lastError));
    vtxsim::EnumPortsResult ports = host.EnumPorts(o.level);
    if (!ports.ok)
        throw LabError(
            fmt::format("EnumPorts level {} failed with error {}", o.level, ports.error));
    fmt::print("EnumPorts level {}: {} port{}\n", o.level, ports.ports.size(),
               ports.ports.size() == 1 ? "" : "s");
    for (const vtxsim::PortInfo& port : ports.ports) {
        if (o.level == 1)
            fmt::print("  {}\n", port.name);
        else
            fmt::print("  {}  (monitor \"{}\", description \"{}\", type {})\n", port.name,
                       port.monitor, port.description, port.type);
    }
    return 0;
}

} // namespace

void AddPortsCommand(CLI::App& app, ChosenCommand& chosen) {
    auto o = std::make_shared<PortsOptions>();
    CLI::App* c = app.add_subcommand("ports", "the spooler loads the monitor and lists EnumPorts");
    AddMachine(c, chosen);
    c->add_option("--level", o->level, "1 or 2 (default 2)")->check(CLI::IsMember({1u, 2u}));
    c->add_flag("--json", o->json, "as one JSON document");
    c->footer(ExitCodesFooter("0 listed; 1 not a machine"));
    RunOnMachine(c, chosen, o, RunPorts);
}

} // namespace lab
