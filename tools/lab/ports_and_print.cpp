// vtxlab ports and print: the spooler's view of the monitor, and a job through it.
#include "tools/lab/commands.h"
#include "tools/lab/json_output.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/print_job.h"
#include "tools/lab/snapshot.h"
#include "tools/lab/user_files.h"

#include "platform/sim/test/simctl.h"

#include <fmt/format.h>

#include <unistd.h>

#include <chrono>
#include <thread>

namespace lab {
namespace {

std::string PortList(const vtxsim::EnumPortsResult& ports) {
    std::string list;
    for (const vtxsim::PortInfo& port : ports.ports)
        list += (list.empty() ? "" : ", ") + port.name;
    return list.empty() ? "none" : list;
}

std::string PrinterOnPort(const std::string& port) {
    for (const std::string& name : vtxsim::PrinterNames()) {
        if (SameName(vtxsim::PrinterPort(name), port))
            return name;
    }
    return "vtxlab";
}

class Progress {
  public:
    // A bar only on a terminal and never inside a JSON document.
    explicit Progress(bool shown)
        : terminal_(shown && isatty(STDOUT_FILENO) == 1), start_(Clock::now()) {}

    void Update(std::uint64_t sent, std::uint64_t total) {
        if (!terminal_)
            return;
        constexpr int kWidth = 30;
        int filled = total ? static_cast<int>(kWidth * sent / total) : kWidth;
        fmt::print("\r  [{}{}] {:3}% {}/{} bytes, {:.0f} bytes/s", std::string(filled, '#'),
                   std::string(kWidth - filled, ' '), total ? 100 * sent / total : 100, sent, total,
                   Rate(sent));
        std::fflush(stdout);
        shown_ = true;
    }
    void EndLine() {
        if (shown_)
            fmt::print("\n");
        shown_ = false;
    }
    double Rate(std::uint64_t sent) const {
        double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        return seconds > 0 ? sent / seconds : 0;
    }
    double Seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

  private:
    using Clock = std::chrono::steady_clock;
    bool terminal_;
    Clock::time_point start_;
    bool shown_ = false;
};

} // namespace

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

int RunPorts(const std::filesystem::path& machine, unsigned level, bool json) {
    // No command lock: the ports may be listed while a job prints.
    OpenMachine(machine);
    vtxsim::MonitorHost host;
    StartMonitor(host);
    if (json)
        return PortsJson(host, level);
    fmt::print("{}\n", MachineWords());
    if (host.Instances().empty()) {
        fmt::print("no instance of vtxpmo01.dll is registered: the spooler loads no monitor, "
                   "there are no ports\n");
        return 0;
    }
    for (const vtxsim::MonitorInstance& instance : host.Instances())
        fmt::print("monitor instance \"{}\": InitializeMonitorEx {}\n", instance.name,
                   instance.result ? "succeeded"
                                   : fmt::format("failed (error {})", instance.lastError));
    vtxsim::EnumPortsResult ports = host.EnumPorts(level);
    if (!ports.ok)
        throw LabError(fmt::format("EnumPorts level {} failed with error {}", level, ports.error));
    fmt::print("EnumPorts level {}: {} port{}\n", level, ports.ports.size(),
               ports.ports.size() == 1 ? "" : "s");
    for (const vtxsim::PortInfo& port : ports.ports) {
        if (level == 1)
            fmt::print("  {}\n", port.name);
        else
            fmt::print("  {}  (monitor \"{}\", description \"{}\", type {})\n", port.name,
                       port.monitor, port.description, port.type);
    }
    return 0;
}

int RunPrint(const PrintOptions& o) {
    std::string data = ReadUserFile(o.file);
    OpenMachine(o.machine);
    CommandLock lock(o.machine, "print");
    vtxsim::MonitorHost host;
    StartMonitor(host);
    if (host.Instances().empty())
        throw LabError("no monitor instance is registered on " + o.machine.string() +
                       ": there is no port to print to");
    vtxsim::EnumPortsResult ports = host.EnumPorts(1);
    bool known = std::any_of(ports.ports.begin(), ports.ports.end(),
                             [&](const vtxsim::PortInfo& p) { return SameName(p.name, o.port); });
    if (!known)
        throw LabError("unknown port \"" + o.port + "\" (ports: " + PortList(ports) + ")");
    std::string printer = o.printer.empty() ? PrinterOnPort(o.port) : o.printer;
    Snapshot before = TakeSnapshot();
    if (!o.json)
        fmt::print("print {} ({} bytes) to {} for printer \"{}\"\n", o.file.string(), data.size(),
                   o.port, printer);
    std::fflush(stdout);
    Progress progress(!o.json);
    std::vector<std::string> waits;
    std::string lastReason;
    JobHooks hooks;
    hooks.onProgress = [&](std::uint64_t sent, std::uint64_t total) {
        if (!lastReason.empty()) {
            progress.EndLine();
            if (!o.json)
                fmt::print("  going on: the printer takes data again\n");
            lastReason.clear();
        }
        progress.Update(sent, total);
    };
    hooks.onWait = [&](const std::string& reason) {
        if (reason != lastReason) {
            progress.EndLine();
            waits.push_back(reason);
            if (!o.json)
                fmt::print("  waiting: {} (WritePort moved nothing; tried again as the spooler "
                           "does)\n",
                           reason);
            std::fflush(stdout);
            lastReason = reason;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    };
    JobResult result = RunJob(host, o.port, printer, data, o.chunk, hooks);
    progress.EndLine();
    SaveLastCommand(o.machine, "print " + o.port, before, TakeSnapshot());
    std::optional<std::string> instance = InstanceOfPort(o.port);
    if (o.json) {
        nlohmann::json doc = JsonDocument("print");
        doc["port"] = o.port;
        doc["file"] = o.file.string();
        doc["printer"] = printer;
        doc["bytes"] = data.size();
        doc["sent"] = result.sent;
        doc["done"] = result.done;
        doc["waits"] = waits;
        doc["failure"] = result.done ? nlohmann::json(nullptr) : nlohmann::json(result.failure);
        doc["received"] = instance ? nlohmann::json(vtxsim::ReceivedData(*instance).size())
                                   : nlohmann::json(nullptr);
        PrintJson(doc);
    }
    if (!result.done) {
        fmt::print(stderr, "vtxlab print: {}\n", result.failure);
        return 1;
    }
    if (o.json)
        return 0;
    fmt::print("  done: {} bytes in {:.2f} s ({:.0f} bytes/s), EndDocPort and ClosePort\n",
               result.sent, progress.Seconds(), progress.Rate(result.sent));
    if (instance)
        fmt::print("  {} has received {} bytes in all\n", *instance,
                   vtxsim::ReceivedData(*instance).size());
    return 0;
}

} // namespace lab
