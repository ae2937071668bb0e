// vtxlab explain: a customer's registry read as the product reads it. The registry is loaded
// into a throw-away machine; the real monitor names the ports through the simulated spooler and
// the real helper shows, on copies, what an attach and a removal would do. Which of an
// interface's values stops its port, and the Enabled that counts, are the monitor's own reading
// (monitor_reading.h); only the words for them are this file's.
#include "common/product_names.h"
#include "driver_install/printer_install.h"
#include "tools/lab/attach.h"
#include "tools/lab/command_options.h"
#include "tools/lab/commands.h"
#include "tools/lab/diagnosis.h"
#include "tools/lab/explain_order.h"
#include "tools/lab/helper_process.h"
#include "tools/lab/interrupt.h"
#include "tools/lab/json_output.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/monitor_checks.h"
#include "tools/lab/collector_report.h"
#include "tools/lab/monitor_reading.h"
#include "tools/lab/print_job.h"
#include "tools/lab/printer_words.h"
#include "tools/lab/progress_line.h"
#include "tools/lab/removal.h"
#include "tools/lab/report_checks.h"
#include "tools/lab/setup_checks.h"
#include "tools/lab/shown_text.h"
#include "tools/lab/temp_dir.h"
#include "tools/lab/user_files.h"
#include "tools/lab/value_type_checks.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <iterator>
#include <memory>
#include <stdexcept>

namespace fs = std::filesystem;

namespace lab {
namespace {

struct ExplainOptions {
    std::filesystem::path file;
    std::string serial; // empty: none
    bool json = false;
};

const char* const kProbeInstance = "vtxlab probe";

// The customer's registry on a machine of its own, gone at the end.
class ThrowAwayMachine {
  public:
    ThrowAwayMachine() : dir_("vtxlab-explain") {
        vtxsim::UseMachine(dir_.Path());
        PauseForTest("explain");
    }

  private:
    TemporaryDir dir_;
};

std::string SerialText(const InterfaceView& view) {
    return Shown(view.serialNumber ? TextOf(*view.serialNumber) : SerialOf(view.deviceInstance));
}

// The text of the description, or the JSON document, and the problems found on the way.
struct Explanation {
    std::string text;
    nlohmann::json json;
    // Keys and values as the customer's file spells them, with their lines there.
    Problems problems;

    template <typename... Args> void Print(fmt::format_string<Args...> format, Args&&... args) {
        fmt::format_to(std::back_inserter(text), format, std::forward<Args>(args)...);
    }
};

// Why the monitor gives the interface no port at all: the value its reading stops at, in words
// from the values as the customer's machine holds them; empty when it gets one or when no words
// fit.
std::string WhyNoPort(const InterfaceView& view, const MonitorReading& reading) {
    if (!view.hasValues || reading.usable)
        return "";
    if (!reading.nameRead) {
        if (!view.portName && (!view.serialNumber || !view.product))
            return fmt::format("no PortName, and no {} to compose one from: no port",
                               !view.serialNumber ? "SerialNumber" : "Product");
        return "";
    }
    if (!view.enabled)
        return "no Enabled value: no port";
    return fmt::format("Enabled is {} bytes long, more than the 4 the monitor reads: no port",
                       view.enabled->data.size());
}

// What the monitor's discovery found: each interface before the monitor alone, and for each
// port, the interface an OpenPort of it prints to once all of them are there.
struct Discovery {
    std::vector<PortOutcome> outcomes;
    std::vector<std::optional<size_t>> printsTo;
};

// The words for one interface whose values give it a port.
std::string PortWords(const std::vector<InterfaceView>& all, const Discovery& found,
                      const MonitorReading& reading, size_t i) {
    const std::vector<PortOutcome>& outcomes = found.outcomes;
    const std::string& port = outcomes[i].port;
    if (!outcomes[i].opens && reading.usable && reading.enabled != 0)
        return fmt::format("two interfaces merge into one port: \"{}\" takes the Enabled of the "
                           "one enumerated last, 0: listed, cannot be opened",
                           port);
    if (!outcomes[i].opens)
        return fmt::format("port \"{}\": {}: listed, cannot be opened", port,
                           reading.usable && reading.enabled == 0 ? "Enabled is 0" : "not enabled");
    std::optional<size_t> target = found.printsTo[i];
    if (target && *target != i)
        return fmt::format("two interfaces merge into one port: \"{}\" prints to {}, the one "
                           "enumerated last",
                           port, all[*target].deviceInstance);
    bool shared = false;
    for (size_t j = 0; j < all.size(); ++j)
        shared = shared || (j != i && outcomes[j].opens && SameName(outcomes[j].port, port));
    if (shared)
        return fmt::format("two interfaces merge into one port: \"{}\", which prints here, to "
                           "the one enumerated last",
                           port);
    return fmt::format("port \"{}\"", port);
}

// The interface's verdict in words; a problem of the interface joins the list.
std::string InterfaceWords(const std::vector<InterfaceView>& all, const Discovery& found, size_t i,
                           Problems* problems) {
    const std::vector<PortOutcome>& outcomes = found.outcomes;
    const InterfaceView& view = all[i];
    const MonitorReading reading = ReadAsTheMonitor(view);
    if (!view.hasValues) {
        std::string words =
            fmt::format("its key has no values: the monitor names it \"{}\" and writes that to "
                        "PortName; from then on it has a value but no Enabled, and no port",
                        outcomes[i].port);
        problems->Add(ProblemCode::InterfaceWithoutValues, view.parametersKey, "",
                      "an interface whose key has no values: " + words,
                      "plug the printer in again so that its driver writes the values, or set "
                      "SerialNumber, Product and Enabled=dword:00000001");
        return words;
    }
    if (!outcomes[i].listed) {
        std::string why = WhyNoPort(view, reading);
        if (why.empty())
            why = "the monitor gives it no port";
        problems->Add(ProblemCode::InterfaceWithoutPort, view.parametersKey,
                      view.enabled ? "Enabled" : "", "an interface without a port: " + why,
                      view.enabled ? "set Enabled as a 4-byte dword"
                                   : "plug the printer in again so that its driver writes the "
                                     "values, or add them by hand");
        return why;
    }
    std::string words = PortWords(all, found, reading, i);
    if (words.starts_with("two interfaces merge"))
        problems->Add(ProblemCode::PortsMerge, view.parametersKey, "", words,
                      "give each interface a PortName of its own, or delete the interface of "
                      "a printer that is gone");
    return words;
}

void ExplainInterfaces(const std::vector<InterfaceView>& original,
                       const std::vector<InterfaceView>& afterDiscovery, const Discovery& found,
                       Explanation& e) {
    e.Print("Device interfaces of the printer class ({}): {}\n", kInterfaceClass, original.size());
    if (original.empty())
        e.Print("  none: the monitor has no port to offer\n");
    e.json["interfaces"] = nlohmann::json::array();
    for (size_t i = 0; i < original.size(); ++i) {
        const InterfaceView& view = original[i];
        const PortOutcome& outcome = found.outcomes[i];
        std::string words = InterfaceWords(original, found, i, &e.problems);
        e.Print("\n  {} (serial {})\n", view.deviceInstance, SerialText(view));
        e.Print("    {}\n", words);
        if (!outcome.port.empty())
            e.Print("    the monitor: EnumPorts {} it, OpenPort {} it\n",
                    outcome.listed ? "lists" : "does not list",
                    outcome.opens ? "accepts" : "refuses");
        std::string written;
        if (!view.portName && afterDiscovery[i].portName) {
            written = TextOf(*afterDiscovery[i].portName);
            e.Print("    (PortName is not set yet; the monitor writes \"{}\" on first load)\n",
                    written);
        }
        e.Print("    {}\n", view.parametersKey);
        e.json["interfaces"].push_back(
            {{"deviceInstance", view.deviceInstance},
             {"serial", SerialText(view)},
             {"key", view.parametersKey},
             {"port",
              outcome.port.empty() ? nlohmann::json(nullptr) : nlohmann::json(outcome.port)},
             {"listed", outcome.listed},
             {"opens", outcome.opens},
             {"portNameWritten",
              written.empty() ? nlohmann::json(nullptr) : nlohmann::json(written)},
             {"words", words}});
    }
}

// The interface alone before the monitor, the others hidden from the device installation
// services (an empty "DeviceInstance") for the time: whether it gets a port, and whether that
// port opens, is then the monitor's own verdict on its values.
PortOutcome AloneBeforeTheMonitor(const std::vector<InterfaceView>& interfaces, size_t i,
                                  const InterfaceView& named) {
    for (size_t j = 0; j < interfaces.size(); ++j)
        if (j != i)
            vtxsim::SetStringValue(interfaces[j].key, "DeviceInstance", "");
    PortOutcome outcome;
    {
        vtxsim::MonitorHost host;
        StartMonitor(host);
        vtxsim::EnumPortsResult alone = host.EnumPorts(2);
        outcome.listed = !alone.ports.empty();
        if (outcome.listed)
            outcome.port = alone.ports.front().name;
        else if (!interfaces[i].hasValues && named.portName)
            outcome.port = TextOf(*named.portName); // named at the first load, no port after
        if (outcome.listed) {
            HANDLE handle = host.OpenPort(outcome.port);
            outcome.opens = handle != nullptr;
            if (handle != nullptr)
                host.ClosePort(handle);
        }
    }
    for (size_t j = 0; j < interfaces.size(); ++j)
        if (j != i)
            vtxsim::SetStringValue(interfaces[j].key, "DeviceInstance",
                                   interfaces[j].deviceInstance);
    return outcome;
}

// All interfaces at once give the ports the spooler sees; each alone gives its own verdict,
// which stands unless, with all of them there, the monitor refuses its port: a later interface
// of the same name took the port over with its Enabled.
Discovery RunDiscovery(const std::vector<InterfaceView>& interfaces, vtxsim::EnumPortsResult* ports,
                       std::vector<InterfaceView>* named) {
    {
        vtxsim::MonitorHost host;
        StartMonitor(host);
        *ports = host.EnumPorts(2);
    }
    *named = PrinterInterfaces();
    Discovery found;
    for (size_t i = 0; i < interfaces.size(); ++i)
        found.outcomes.push_back(AloneBeforeTheMonitor(interfaces, i, (*named)[i]));
    MonitorPass pass;
    for (PortOutcome& outcome : found.outcomes) {
        outcome.opens = outcome.opens && pass.Opens(outcome.port);
        found.printsTo.push_back(outcome.opens ? pass.PrintsTo(outcome.port, interfaces)
                                               : std::nullopt);
    }
    return found;
}

// The words for a printer's port, from the same verdict its problems come from.
const char* PrinterPortWords(const PrinterPortVerdict& verdict) {
    if (!verdict.hasPort)
        return "no Port value: the spooler has no port to print it to";
    if (!verdict.isText)
        return "the Port value is not a string";
    if (verdict.opens)
        return "a port of the monitor";
    if (verdict.listed)
        return "a port the monitor lists, but OpenPort refuses it";
    return verdict.text.starts_with("USB/") ? "the monitor offers no such port"
                                            : "not a port of this monitor";
}

void ExplainMonitorsAndPrinters(const std::vector<std::string>& instances,
                                const std::vector<PortOutcome>& outcomes, Explanation& e) {
    e.Print("\nMonitor instances ({}{}):\n", kHklm, vtxsim::kMonitorsKeyPath);
    if (instances.empty())
        e.Print("  none of {}: the spooler loads no monitor of ours and lists none of the ports "
                "above\n",
                MONITOR_FILE_NAME);
    e.json["monitorInstances"] = nlohmann::json::array();
    for (const std::string& name : instances) {
        bool device = DeviceOfSerial(name).has_value();
        e.Print("  \"{}\" (driver {}){}\n", Shown(name), vtxsim::MonitorDriver(name),
                device ? "" : "  - no device of that serial is installed");
        e.json["monitorInstances"].push_back(
            {{"name", name}, {"driver", vtxsim::MonitorDriver(name)}, {"device", device}});
    }
    e.Print("\nPrinters ({}{}):\n", kHklm, vtxsim::kPrintersKeyPath);
    std::vector<std::string> printers = vtxsim::PrinterNames();
    if (printers.empty())
        e.Print("  none\n");
    e.json["printers"] = nlohmann::json::array();
    for (const std::string& printer : printers) {
        const PrinterPortVerdict verdict = VerdictOfPrinterPort(outcomes, printer);
        const std::string& port = verdict.text;
        const bool ours = verdict.isText && verdict.opens;
        const char* words = PrinterPortWords(verdict);
        if (verdict.hasPort)
            e.Print("  \"{}\" uses port \"{}\"{}{}\n", printer, port, ours ? ", " : ": ", words);
        else
            e.Print("  \"{}\" has {}\n", printer, words);
        e.json["printers"].push_back(
            {{"name", printer},
             {"port", verdict.hasPort ? nlohmann::json(port) : nlohmann::json(nullptr)},
             {"monitorPort", ours},
             {"words", words}});
    }
}

// The serial's device is known to be there.
void ExplainSerial(const std::string& serial, Explanation& e, bool json) {
    const DeviceView device = *DeviceOfSerial(serial);
    // The customer's files are not in the export: the maker's files are taken as installed.
    std::string infPath = "OEM0.INF";
    std::string driver =
        vtxsim::StringValue(kHklm + "Enum\\" + device.instance, "driver").value_or("");
    if (!driver.empty())
        infPath =
            vtxsim::StringValue(kHklm + SERVICES_KEY "Class\\" + driver, "InfPath").value_or("");
    vtxsim::InstallDriverFiles(infPath);
    if (std::optional<std::string> setupRoot = vtxsim::StringValue(
            kHklm + MODEL_KEYS + ModelRemainder(device.model), "SetupRootPath")) {
        try {
            vtxsim::PutFile(*setupRoot + "\\launch.ini", "[Launch]\r\n");
            vtxsim::PutFile(*setupRoot + "\\..\\setup.exe", "MZ");
        } catch (const std::invalid_argument&) {
            // A drive the machine does not have: the setup is then not found, as there.
        }
    }
    if (!json)
        fmt::print("\nIf {} ({}) were attached now (helper with -action=2, on a copy; the maker's "
                   "files taken as installed):\n",
                   Shown(serial), Shown(device.model));
    Changes install = OnCopy([&] { RunHelperAction(2, device.model, device.serial); },
                             [&](const Changes& changes) {
                                 if (!json)
                                     ReportInstall(device.model, device.serial, changes);
                             });
    if (!json)
        fmt::print("\nIf {} were removed (helper with -action=64, on a copy, the same as detach "
                   "--dry-run):\n",
                   Shown(serial));
    std::vector<Leftover> stays;
    Changes removal = OnCopy([&] { RemovePrinter(device.serial); },
                             [&](const Changes&) { stays = WhatStays(device); });
    if (json) {
        e.json["attachPreview"] = {
            {"serial", device.serial}, {"model", device.model}, {"changes", ChangesJson(install)}};
        e.json["removalPreview"] = {{"serial", device.serial},
                                    {"changes", ChangesJson(removal)},
                                    {"stays", StaysJson(stays)}};
        return;
    }
    ReportRemoval(removal);
    ReportStays(stays);
}

// None of the maker's keys: no software of ours was ever installed on the machine.
bool NothingOfTheMaker(const std::vector<InterfaceView>& interfaces,
                       const std::vector<std::string>& instances) {
    return interfaces.empty() && instances.empty() && MakerDevices().empty() &&
           !vtxsim::KeyExists(kHklm + MAKER_KEY);
}

int ReportNothingOfTheMaker(const ExplainOptions& options, Explanation& e) {
    const std::string finding =
        "no Draftaire software installed: the export has none of the maker's keys (" + kHklm +
        MAKER_KEY + ", a printer of vendor " + vtxsim::kMakerVendorId + " below " + kHklm +
        USB_DEVICES_KEY_NAME + ", a device interface of the printer class, a monitor instance of " +
        MONITOR_FILE_NAME + ")";
    if (options.json) {
        // The document of any other machine, its lists empty.
        for (const char* list : {"interfaces", "ports", "monitorInstances", "printers", "problems"})
            e.json[list] = nlohmann::json::array();
        e.json["finding"] = finding;
        PrintJson(e.json);
    } else {
        fmt::print("{}{}\n", e.text, finding);
    }
    return 0;
}

// The file is a whole registry export, or the field collector's report, whose registry section is
// one; else explain ends with 3.
vtxsim::RegistryPlaces ImportTheExport(const fs::path& file,
                                       std::optional<CollectorReport>* report) {
    ForeignRegistry imported;
    try {
        ProgressTicker ticker("importing " + file.string());
        std::string text = ReadUserFile(file);
        if (IsCollectorReport(text)) {
            *report = ReadCollectorReport(text, file.string());
            imported = ImportForeignRegistryText((*report)->registry, file.string());
        } else {
            imported = ImportForeignRegistryText(text, file.string());
        }
    } catch (const LabError& error) {
        throw LabError(error.what(), 3);
    }
    if (!imported.places.HasRoot(vtxsim::RegRoot::LocalMachine))
        throw LabError(file.string() +
                           ": no HKEY_LOCAL_MACHINE in the export, which cannot then be a whole "
                           "Windows 98 machine; ask the customer for the whole registry as "
                           "regedit exports it (Registry, Export Registry File, All)",
                       3);
    return std::move(imported.places);
}

template <class T> nlohmann::json OrNull(const std::optional<T>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

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

// Where and when the collector ran; a report cut short is said so, since what it lacks reads as
// absent.
void ExplainReportHeader(const CollectorReport& report, Explanation& e) {
    nlohmann::json header = nlohmann::json::object();
    for (const auto& [name, value] : report.header) {
        e.Print("  {} {}\n", name, value);
        header[name] = value;
    }
    e.Print("  (the field collector's report; its registry section read as an export)\n\n");
    header["complete"] = report.complete;
    header["files"] = ReportedFilesJson(report.files);
    header["spooler"] = ReportedSpoolerJson(report);
    e.json["collector"] = header;
    if (!report.complete)
        fmt::print(stderr, "vtxlab explain: warning: the report ends before \"#vtxdiag end\": the "
                           "collector did not finish, and what it did not reach reads as absent\n");
}

// 0 when it found no problem, 1 when it found some, 2 for bad usage and 3 when the file cannot
// be read.
int RunExplain(const ExplainOptions& options) {
    ThrowAwayMachine machine;
    std::optional<CollectorReport> report;
    vtxsim::RegistryPlaces places = ImportTheExport(options.file, &report);
    if (!options.serial.empty() && !DeviceOfSerial(options.serial))
        throw LabError("the registry has no device with serial " + Shown(options.serial) +
                           " below HKEY_LOCAL_MACHINE\\Enum\\USB (serials: " + KnownSerials() + ")",
                       2);
    Explanation e;
    e.problems.UsePlaces(std::move(places));
    e.json = JsonDocument("explain");
    e.json["file"] = options.file.string();
    e.Print("{}: what the Draftaire monitor and helper make of this registry\n\n",
            options.file.string());
    if (report)
        ExplainReportHeader(*report, e);
    std::vector<InterfaceView> interfaces = PrinterInterfaces();
    std::vector<std::string> instances;
    for (const std::string& name : vtxsim::MonitorNames()) {
        if (SameName(vtxsim::MonitorDriver(name).substr(
                         vtxsim::MonitorDriver(name).find_last_of('\\') + 1),
                     MONITOR_FILE_NAME))
            instances.push_back(name);
    }
    if (NothingOfTheMaker(interfaces, instances))
        return ReportNothingOfTheMaker(options, e);
    // Without an instance the spooler would load nothing; one of our own names the ports.
    if (instances.empty())
        vtxsim::SetStringValue(kHklm + vtxsim::kMonitorsKeyPath + "\\" + kProbeInstance, "Driver",
                               MONITOR_FILE_NAME);
    vtxsim::EnumPortsResult ports;
    std::vector<InterfaceView> named;
    Discovery found = RunDiscovery(interfaces, &ports, &named);
    ExplainInterfaces(interfaces, named, found, e);
    e.Print("\nPorts the monitor lists (EnumPorts): {}\n", ports.ports.size());
    e.json["ports"] = nlohmann::json::array();
    for (const vtxsim::PortInfo& port : ports.ports) {
        e.Print("  {}\n", port.name);
        e.json["ports"].push_back(port.name);
    }
    // Needs a monitor instance to load, the probe's if the machine has none.
    CheckEnumerationOrder(&e.problems);
    if (instances.empty())
        vtxsim::DeleteRegistryKey(kHklm + vtxsim::kMonitorsKeyPath + "\\" + kProbeInstance);
    ExplainMonitorsAndPrinters(instances, found.outcomes, e);
    // Each check appends what it finds; a check of its own file joins the diagnosis here.
    CheckMonitorInstances(interfaces, instances, &e.problems);
    CheckPrinterPorts(interfaces, found.outcomes, &e.problems);
    CheckValueTypes(interfaces, found.outcomes, &e.problems);
    CheckSetups(&e.problems);
    CheckPortNames(interfaces, &e.problems);
    CheckModelKeys(&e.problems);
    CheckLeftovers(instances, &e.problems);
    if (report)
        CheckReport(*report, instances, &e.problems);
    if (!options.json)
        fmt::print("{}", e.text);
    if (!options.serial.empty())
        ExplainSerial(options.serial, e, options.json);
    if (options.json) {
        e.json["problems"] = ProblemsJson(e.problems);
        // The machine's text is code page 1252; the file's name is the local one, as given.
        nlohmann::json document = JsonFrom1252(e.json);
        document["file"] = options.file.string();
        PrintJson(document);
    } else {
        PrintProblems(e.problems, options.file.string());
    }
    return e.problems.Empty() ? 0 : 1;
}

} // namespace

void AddExplainCommand(CLI::App& app, ChosenCommand& chosen) {
    auto o = std::make_shared<ExplainOptions>();
    CLI::App* c = app.add_subcommand("explain", "diagnose a registry exported from a Windows 98 or "
                                                "ME machine, or the field collector's report");
    c->add_option("file", o->file, "the REGEDIT4 export or VTXDIAG.TXT")->required();
    c->add_option("--serial", o->serial, "also what an attach and a removal would do");
    c->add_flag("--json", o->json, "as one JSON document");
    c->footer(ExitCodesFooter("0 no problem found, or no Draftaire software installed; 1 problems "
                              "found; 2 a bad command line or an unknown --serial; 3 the file is "
                              "no whole registry export or collector's report (cannot be read, "
                              "empty, not an export, no HKEY_LOCAL_MACHINE, cut short): ask the "
                              "customer for the whole file"));
    c->callback([o, &chosen] { chosen.run = [o] { return RunExplain(*o); }; });
}

} // namespace lab
