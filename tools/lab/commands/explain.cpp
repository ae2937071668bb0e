// vtxlab explain: a customer's registry read as the product reads it. The registry is loaded
// into a throw-away machine; the real monitor names the ports through the simulated spooler and
// the real helper shows, on copies, what an attach and a removal would do. Which of an
// interface's values stops its port, and the Enabled that counts, are the monitor's own reading
// (monitor_reading.h); the words for them are port_words.h's.
#include "tools/lab/command_options.h"
#include "tools/lab/commands.h"
#include "tools/lab/customer_export.h"
#include "tools/lab/diagnosis.h"
#include "tools/lab/explain_order.h"
#include "tools/lab/explanation.h"
#include "tools/lab/export_discovery.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/monitor_checks.h"
#include "tools/lab/report_checks.h"
#include "tools/lab/serial_preview.h"
#include "tools/lab/setup_checks.h"
#include "tools/lab/shown_text.h"
#include "tools/lab/value_type_checks.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <memory>

namespace lab {
namespace {

struct ExplainOptions {
    std::filesystem::path file;
    std::string serial; // empty: none
    bool json = false;
};

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
    Explanation e(options.file, std::move(places));
    if (report)
        ExplainReportHeader(*report, e);
    std::vector<InterfaceView> interfaces = PrinterInterfaces();
    std::vector<std::string> instances = OurMonitorInstances();
    if (NothingOfTheMaker(interfaces, instances))
        return ReportNothingOfTheMaker(e, options.json);
    if (instances.empty())
        AddProbeInstance();
    vtxsim::EnumPortsResult ports;
    std::vector<InterfaceView> named;
    Discovery found = RunDiscovery(interfaces, &ports, &named);
    ExplainInterfaces(interfaces, named, found, e);
    ExplainPorts(ports, e);
    // Needs a monitor instance to load, the probe's if the machine has none.
    CheckEnumerationOrder(&e.problems);
    if (instances.empty())
        RemoveProbeInstance();
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
    EndExplanation(e, options.file, options.json);
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
