#include "tools/lab/explanation.h"
#include "tools/lab/collector_report_json.h"
#include "tools/lab/json_output.h"
#include "tools/lab/port_words.h"
#include "tools/lab/printer_words.h"
#include "tools/lab/shown_text.h"

#include "common/product_names.h"

namespace lab {
namespace {

std::string SerialText(const InterfaceView& view) {
    return Shown(view.serialNumber ? TextOf(*view.serialNumber) : SerialOf(view.deviceInstance));
}

} // namespace

Explanation::Explanation(const std::filesystem::path& file, vtxsim::RegistryPlaces places) {
    problems.UsePlaces(std::move(places));
    json = JsonDocument("explain");
    json["file"] = file.string();
    Print("{}: what the Draftaire monitor and helper make of this registry\n\n", file.string());
}

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

bool NothingOfTheMaker(const std::vector<InterfaceView>& interfaces,
                       const std::vector<std::string>& instances) {
    return interfaces.empty() && instances.empty() && MakerDevices().empty() &&
           !vtxsim::KeyExists(kHklm + MAKER_KEY);
}

int ReportNothingOfTheMaker(Explanation& e, bool json) {
    const std::string finding =
        "no Draftaire software installed: the export has none of the maker's keys (" + kHklm +
        MAKER_KEY + ", a printer of vendor " + vtxsim::kMakerVendorId + " below " + kHklm +
        USB_DEVICES_KEY_NAME + ", a device interface of the printer class, a monitor instance of " +
        MONITOR_FILE_NAME + ")";
    if (json) {
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

void ExplainPorts(const vtxsim::EnumPortsResult& ports, Explanation& e) {
    e.Print("\nPorts the monitor lists (EnumPorts): {}\n", ports.ports.size());
    e.json["ports"] = nlohmann::json::array();
    for (const vtxsim::PortInfo& port : ports.ports) {
        e.Print("  {}\n", port.name);
        e.json["ports"].push_back(port.name);
    }
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

void EndExplanation(Explanation& e, const std::filesystem::path& file, bool json) {
    if (!json) {
        PrintProblems(e.problems, file.string());
        return;
    }
    e.json["problems"] = ProblemsJson(e.problems);
    // The machine's text is code page 1252; the file's name is the local one, as given.
    nlohmann::json document = JsonFrom1252(e.json);
    document["file"] = file.string();
    PrintJson(document);
}

} // namespace lab
