// vtxlab print: a file sent to a port as the spooler sends a job through the monitor.
#include "tools/lab/command_options.h"
#include "tools/lab/commands.h"
#include "tools/lab/json_output.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/print_job.h"
#include "tools/lab/progress_line.h"
#include "tools/lab/snapshot.h"
#include "tools/lab/stall_timeout.h"
#include "tools/lab/user_files.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

namespace lab {
namespace {

struct PrintOptions {
    std::filesystem::path machine;
    std::string port;
    std::filesystem::path file;
    unsigned chunk = 4096;
    double timeout = 60; // seconds the printer may take nothing before the job ends; 0: no end
    bool verify = false; // compare what the printer received with the file
    bool json = false;
};

std::string PortList(const vtxsim::EnumPortsResult& ports) {
    std::string list;
    for (const vtxsim::PortInfo& port : ports.ports)
        list += (list.empty() ? "" : ", ") + port.name;
    return list.empty() ? "none" : list;
}

// A port the spooler's monitor lists, or LabError.
void CheckPortKnown(vtxsim::MonitorHost& host, const PrintOptions& o) {
    if (host.Instances().empty())
        throw LabError("no monitor instance is registered on " + o.machine.string() +
                       ": there is no port to print to");
    vtxsim::EnumPortsResult ports = host.EnumPorts(1);
    bool known = std::any_of(ports.ports.begin(), ports.ports.end(),
                             [&](const vtxsim::PortInfo& p) { return SameName(p.name, o.port); });
    if (!known)
        throw LabError("unknown port \"" + o.port + "\" (ports: " + PortList(ports) + ")");
}

// What the user sees while the job runs: the progress line, and each wait once, as it begins,
// with the job going on after it; with --json only the progress line. It keeps the waits for
// the JSON document.
class JobLines {
  public:
    explicit JobLines(bool json) : json_(json) {}

    void Moved(std::uint64_t sent, std::uint64_t total) {
        if (!reason_.empty()) {
            progress_.Clear();
            if (!json_)
                fmt::print("  going on: the printer takes data again\n");
            std::fflush(stdout);
            reason_.clear();
        }
        progress_.Show(fmt::format("  {}% {}/{} bytes, {:.0f} bytes/s",
                                   total ? 100 * sent / total : 100, sent, total,
                                   sent / std::max(progress_.Seconds(), 1e-3)));
    }

    void Waiting(const std::string& reason) {
        if (reason == reason_)
            return;
        progress_.Clear();
        waits_.push_back(reason);
        if (!json_)
            fmt::print("  waiting: {} (WritePort moved nothing; tried again as the spooler "
                       "does)\n",
                       reason);
        std::fflush(stdout);
        reason_ = reason;
    }

    void Clear() { progress_.Clear(); }
    double Seconds() const { return progress_.Seconds(); }
    const std::vector<std::string>& Waits() const { return waits_; }

  private:
    bool json_;
    ProgressLine progress_;
    std::vector<std::string> waits_;
    std::string reason_; // the wait going on; empty while the printer takes data
};

// The job, a write that moves nothing tried again after the timeout's pause until the printer
// takes data or the timeout gives up.
JobResult PrintWithRetries(vtxsim::MonitorHost& host, const PrintOptions& o,
                           const std::string& printer, const std::string& data, JobLines& lines) {
    using Clock = StallTimeout::Clock;
    StallTimeout timeout(o.timeout, Clock::now());
    JobHooks hooks;
    hooks.onProgress = [&](std::uint64_t sent, std::uint64_t total) {
        timeout.Moved(Clock::now());
        lines.Moved(sent, total);
    };
    hooks.giveUp = [&] { return timeout.GiveUp(Clock::now()); };
    hooks.onWait = [&](const std::string& reason) {
        lines.Waiting(reason);
        std::this_thread::sleep_for(timeout.RetryPause(Clock::now()));
    };
    JobResult result = RunJob(host, o.port, printer, data, o.chunk, hooks);
    lines.Clear();
    return result;
}

// Whether the printer took the job byte for byte: what reached it during the job is what it held
// afterwards beyond what it held before.
bool ReceivedWhole(const std::string& instance, std::uint64_t before, const std::string& data) {
    std::string received = vtxsim::ReceivedData(instance);
    return received.size() == before + data.size() &&
           std::string_view(received).substr(before) == data;
}

// What the job came to, for the report.
struct PrintedJob {
    std::string printer;
    std::string data;
    std::optional<std::string> instance; // the printer's device; none for a port without one
    JobResult result;
    std::vector<std::string> waits;
    std::optional<bool> verified; // asked only with --verify, of a job done
    double seconds = 0;
};

void ReportJson(const PrintOptions& o, const PrintedJob& job) {
    nlohmann::json doc = JsonDocument("print");
    doc["port"] = o.port;
    doc["file"] = o.file.string();
    doc["printer"] = job.printer;
    doc["bytes"] = job.data.size();
    doc["sent"] = job.result.sent;
    doc["done"] = job.result.done;
    doc["waits"] = job.waits;
    doc["failure"] = job.result.done ? nlohmann::json(nullptr) : nlohmann::json(job.result.failure);
    doc["received"] = job.instance ? nlohmann::json(vtxsim::ReceivedData(*job.instance).size())
                                   : nlohmann::json(nullptr);
    doc["verified"] = job.verified ? nlohmann::json(*job.verified) : nlohmann::json(nullptr);
    PrintJson(doc);
}

// The end of the text report of a job done.
void ReportDone(const PrintOptions& o, const PrintedJob& job) {
    fmt::print("  done: {} bytes in {:.2f} s ({:.0f} bytes/s), EndDocPort and ClosePort\n",
               job.result.sent, job.seconds, job.result.sent / std::max(job.seconds, 1e-3));
    if (job.instance)
        fmt::print("  {} has received {} bytes in all\n", *job.instance,
                   vtxsim::ReceivedData(*job.instance).size());
    if (job.verified == true)
        fmt::print("  verified: the printer received {} byte for byte\n", o.file.string());
}

// The report: the JSON document, the failure or --verify's difference on stderr, the text's end;
// and the exit code.
int Report(const PrintOptions& o, const PrintedJob& job) {
    if (o.json)
        ReportJson(o, job);
    if (!job.result.done) {
        fmt::print(stderr, "vtxlab print: {}\n", job.result.failure);
        return 1;
    }
    if (job.verified == false)
        fmt::print(stderr, "vtxlab print: --verify: what the printer received differs from {}\n",
                   o.file.string());
    if (!o.json)
        ReportDone(o, job);
    return job.verified == false ? 1 : 0;
}

int RunPrint(const PrintOptions& o) {
    PrintedJob job;
    job.data = ReadUserFile(o.file);
    OpenMachine(o.machine);
    CommandLock lock(o.machine, "print");
    vtxsim::MonitorHost host;
    StartMonitor(host);
    CheckPortKnown(host, o);
    // The spooler printer's name for StartDocPort, "vtxlab" for a port no printer uses.
    job.printer = PrinterOnPort(o.port).value_or("vtxlab");
    Snapshot before = TakeSnapshot();
    if (!o.json)
        fmt::print("print {} ({} bytes) to {} for printer \"{}\"\n", o.file.string(),
                   job.data.size(), o.port, job.printer);
    std::fflush(stdout);
    job.instance = InstanceOfPort(o.port);
    std::uint64_t receivedBefore = job.instance ? vtxsim::ReceivedData(*job.instance).size() : 0;
    JobLines lines(o.json);
    job.result = PrintWithRetries(host, o, job.printer, job.data, lines);
    job.waits = lines.Waits();
    SaveLastCommand(o.machine, "print " + o.port, before, TakeSnapshot());
    if (o.verify && job.result.done)
        job.verified = job.instance && ReceivedWhole(*job.instance, receivedBefore, job.data);
    job.seconds = lines.Seconds();
    return Report(o, job);
}

} // namespace

void AddPrintCommand(CLI::App& app, ChosenCommand& chosen) {
    auto o = std::make_shared<PrintOptions>();
    CLI::App* c = app.add_subcommand("print", "send a file to a port as a print job");
    AddMachine(c, chosen);
    AddWait(c, chosen);
    c->add_option("--port", o->port, "the port, as \"USB/Draftaire K9/AB12\"")->required();
    c->add_option("file", o->file, "the file to print")->required();
    c->add_option("--chunk", o->chunk, "bytes per WritePort (default 4096)")
        ->check(CLI::Range(1u, 1u << 20));
    c->add_option("--timeout", o->timeout,
                  "seconds a stalled printer may take nothing before the job ends (default 60, "
                  "0: wait for ever)")
        ->check(CLI::Range(0.0, 1e6));
    c->add_flag("--verify", o->verify, "compare what the printer received with the file");
    c->add_flag("--json", o->json, "as one JSON document");
    c->footer(ExitCodesFooter("0 printed (and, with --verify, the same bytes received); 1 the job "
                              "failed or timed out, --verify found a difference, or refused (not "
                              "a machine, no such port, a file that cannot be read)"));
    RunOnMachine(c, chosen, o, RunPrint);
}

} // namespace lab
