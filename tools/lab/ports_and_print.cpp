// vtxlab ports and print: the spooler's view of the monitor, and a job through it.
#include "tools/lab/commands.h"
#include "tools/lab/json_output.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/print_job.h"
#include "tools/lab/progress_line.h"
#include "tools/lab/snapshot.h"
#include "tools/lab/user_files.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <algorithm>
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

// Each try again of a stalled job waits this long, as the spooler does, or less when the
// job's time is nearly up.
constexpr std::chrono::milliseconds kRetryPause{100};

// Whether the printer took the job byte for byte: what reached it during the job is what it held
// afterwards beyond what it held before.
bool ReceivedWhole(const std::string& instance, std::uint64_t before, const std::string& data) {
    std::string received = vtxsim::ReceivedData(instance);
    return received.size() == before + data.size() &&
           std::string_view(received).substr(before) == data;
}

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
    std::optional<std::string> instance = InstanceOfPort(o.port);
    std::uint64_t receivedBefore = instance ? vtxsim::ReceivedData(*instance).size() : 0;
    ProgressLine progress;
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastMoved = Clock::now();
    std::chrono::duration<double> limit(o.timeout);
    std::vector<std::string> waits;
    std::string lastReason;
    JobHooks hooks;
    hooks.onProgress = [&](std::uint64_t sent, std::uint64_t total) {
        lastMoved = Clock::now();
        if (!lastReason.empty()) {
            progress.Clear();
            if (!o.json)
                fmt::print("  going on: the printer takes data again\n");
            std::fflush(stdout);
            lastReason.clear();
        }
        progress.Show(fmt::format("  {}% {}/{} bytes, {:.0f} bytes/s",
                                  total ? 100 * sent / total : 100, sent, total,
                                  sent / std::max(progress.Seconds(), 1e-3)));
    };
    hooks.giveUp = [&]() -> std::string {
        if (o.timeout <= 0 || Clock::now() - lastMoved < limit)
            return "";
        return fmt::format("the printer took no data for {} s (--timeout)", o.timeout);
    };
    hooks.onWait = [&](const std::string& reason) {
        if (reason != lastReason) {
            progress.Clear();
            waits.push_back(reason);
            if (!o.json)
                fmt::print("  waiting: {} (WritePort moved nothing; tried again as the spooler "
                           "does)\n",
                           reason);
            std::fflush(stdout);
            lastReason = reason;
        }
        auto pause = std::chrono::duration_cast<std::chrono::milliseconds>(kRetryPause);
        if (o.timeout > 0)
            pause = std::min(pause, std::chrono::ceil<std::chrono::milliseconds>(
                                        limit - (Clock::now() - lastMoved)));
        std::this_thread::sleep_for(std::max(pause, std::chrono::milliseconds(1)));
    };
    JobResult result = RunJob(host, o.port, printer, data, o.chunk, hooks);
    progress.Clear();
    SaveLastCommand(o.machine, "print " + o.port, before, TakeSnapshot());
    // Whether the printer took the job byte for byte; asked only with --verify.
    std::optional<bool> verified;
    if (o.verify && result.done)
        verified = instance && ReceivedWhole(*instance, receivedBefore, data);
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
        doc["verified"] = verified ? nlohmann::json(*verified) : nlohmann::json(nullptr);
        PrintJson(doc);
    }
    if (!result.done) {
        fmt::print(stderr, "vtxlab print: {}\n", result.failure);
        return 1;
    }
    if (verified == false)
        fmt::print(stderr, "vtxlab print: --verify: what the printer received differs from {}\n",
                   o.file.string());
    if (o.json)
        return verified == false ? 1 : 0;
    fmt::print("  done: {} bytes in {:.2f} s ({:.0f} bytes/s), EndDocPort and ClosePort\n",
               result.sent, progress.Seconds(), result.sent / std::max(progress.Seconds(), 1e-3));
    if (instance)
        fmt::print("  {} has received {} bytes in all\n", *instance,
                   vtxsim::ReceivedData(*instance).size());
    if (verified == false)
        return 1;
    if (verified)
        fmt::print("  verified: the printer received {} byte for byte\n", o.file.string());
    return 0;
}

} // namespace lab
