// vtxlab explain: a customer's registry read as the product reads it. The registry is loaded
// into a throw-away machine; the real monitor names the ports through the simulated spooler and
// the real helper shows, on copies, what an attach and a removal would do. Only the words for
// why an interface gets no port are this file's own reading of the interface's values.
#include "tools/lab/attach.h"
#include "tools/lab/commands.h"
#include "tools/lab/explain_order.h"
#include "tools/lab/helper_process.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/print_job.h"
#include "tools/lab/printer_words.h"
#include "tools/lab/removal.h"
#include "tools/lab/temp_dir.h"
#include "tools/lab/user_files.h"

#include "platform/sim/test/simctl.h"

#include <fmt/format.h>

#include <stdexcept>

namespace fs = std::filesystem;

namespace lab {
namespace {

const char* const kProbeInstance = "vtxlab probe";

// The customer's registry on a machine of its own, gone at the end.
class ThrowAwayMachine {
  public:
    ThrowAwayMachine() : dir_("vtxlab-explain") { vtxsim::UseMachine(dir_.Path()); }

  private:
    TemporaryDir dir_;
};

// What the monitor reads with its 4-byte buffer: a shorter value fills its low bytes, a
// longer one does not read at all.
std::optional<DWORD> EnabledOf(const InterfaceView& view) {
    if (!view.enabled || view.enabled->data.size() > 4)
        return std::nullopt;
    DWORD value = 0;
    for (size_t i = 0; i < view.enabled->data.size(); ++i)
        value |= DWORD(view.enabled->data[i]) << (8 * i);
    return value;
}

std::string SerialText(const InterfaceView& view) {
    return view.serialNumber ? TextOf(*view.serialNumber) : SerialOf(view.deviceInstance);
}

// Why the monitor gives the interface no port at all, from its values as the customer's
// machine holds them; empty when it gets one.
std::string WhyNoPort(const InterfaceView& view) {
    if (!view.hasValues)
        return "";
    if (!view.portName && (!view.serialNumber || !view.product))
        return fmt::format("no PortName, and no {} to compose one from: no port",
                           !view.serialNumber ? "SerialNumber" : "Product");
    if (!view.enabled)
        return "no Enabled value: no port";
    if (!EnabledOf(view))
        return fmt::format("Enabled is {} bytes long, more than the 4 the monitor reads: no port",
                           view.enabled->data.size());
    return "";
}

struct PortOutcome {
    std::string port;    // the name the monitor gave it, empty for none
    bool listed = false; // EnumPorts lists that name
    bool opens = false;  // OpenPort accepts it
};

// Interfaces of the same name merge only while enabled: the monitor looks a name up among the
// enabled entries of its table.
bool HoldsEnabledPort(const InterfaceView& view) {
    return view.hasValues && WhyNoPort(view).empty() && EnabledOf(view).value_or(0) != 0;
}

// The words for one interface whose values give it a port.
std::string PortWords(const std::vector<InterfaceView>& all,
                      const std::vector<PortOutcome>& outcomes, size_t i) {
    const std::string& port = outcomes[i].port;
    if (EnabledOf(all[i]) == 0u)
        return fmt::format("port \"{}\": Enabled is 0: listed, cannot be opened", port);
    std::string winner;
    bool earlier = false;
    for (size_t j = 0; j < all.size(); ++j) {
        if (j == i || !HoldsEnabledPort(all[j]) || !SameName(outcomes[j].port, port))
            continue;
        if (j > i)
            winner = all[j].deviceInstance;
        else
            earlier = true;
    }
    if (!winner.empty())
        return fmt::format("two interfaces merge into one port: \"{}\" prints to {}, the one "
                           "enumerated last",
                           port, winner);
    if (earlier)
        return fmt::format("two interfaces merge into one port: \"{}\", which prints here, to "
                           "the one enumerated last",
                           port);
    return fmt::format("port \"{}\"", port);
}

void ExplainInterfaces(const std::vector<InterfaceView>& original,
                       const std::vector<InterfaceView>& afterDiscovery,
                       const std::vector<PortOutcome>& outcomes) {
    fmt::print("Device interfaces of the printer class ({}): {}\n", kInterfaceClass,
               original.size());
    if (original.empty())
        fmt::print("  none: the monitor has no port to offer\n");
    for (size_t i = 0; i < original.size(); ++i) {
        const InterfaceView& view = original[i];
        const PortOutcome& outcome = outcomes[i];
        fmt::print("\n  {} (serial {})\n", view.deviceInstance, SerialText(view));
        if (!view.hasValues)
            fmt::print("    its key has no values: the monitor names it \"{}\" and writes that "
                       "to PortName; from then on it has a value but no Enabled, and no port\n",
                       outcome.port);
        else if (std::string why = WhyNoPort(view); !why.empty())
            fmt::print("    {}\n", why);
        else
            fmt::print("    {}\n", PortWords(original, outcomes, i));
        if (!outcome.port.empty())
            fmt::print("    the monitor: EnumPorts {} it, OpenPort {} it\n",
                       outcome.listed ? "lists" : "does not list",
                       outcome.opens ? "accepts" : "refuses");
        if (!view.portName && afterDiscovery[i].portName)
            fmt::print("    (PortName is not set yet; the monitor writes \"{}\" on first "
                       "load)\n",
                       TextOf(*afterDiscovery[i].portName));
        fmt::print("    {}\n", view.parametersKey);
    }
}

std::vector<PortOutcome> RunDiscovery(vtxsim::MonitorHost& host,
                                      const std::vector<InterfaceView>& interfaces,
                                      vtxsim::EnumPortsResult* ports) {
    StartMonitor(host);
    *ports = host.EnumPorts(2);
    std::vector<InterfaceView> named = PrinterInterfaces();
    std::vector<PortOutcome> outcomes;
    for (size_t i = 0; i < interfaces.size(); ++i) {
        PortOutcome outcome;
        bool noPort = !WhyNoPort(interfaces[i]).empty();
        if (!noPort && i < named.size() && named[i].portName)
            outcome.port = TextOf(*named[i].portName);
        for (const vtxsim::PortInfo& port : ports->ports)
            outcome.listed = outcome.listed || SameName(port.name, outcome.port);
        if (!outcome.port.empty()) {
            HANDLE handle = host.OpenPort(outcome.port);
            outcome.opens = handle != nullptr;
            if (handle != nullptr)
                host.ClosePort(handle);
        }
        outcomes.push_back(outcome);
    }
    return outcomes;
}

void ExplainMonitorsAndPrinters(const std::vector<std::string>& instances,
                                const vtxsim::EnumPortsResult& ports) {
    fmt::print("\nMonitor instances ({}{}):\n", kHklm, vtxsim::kMonitorsKeyPath);
    if (instances.empty())
        fmt::print("  none of vtxpmo01.dll: the spooler loads no monitor of ours and lists "
                   "none of the ports above\n");
    for (const std::string& name : instances)
        fmt::print("  \"{}\" (driver {}){}\n", name, vtxsim::MonitorDriver(name),
                   DeviceOfSerial(name) ? "" : "  - no device of that serial is installed");
    fmt::print("\nPrinters ({}{}):\n", kHklm, vtxsim::kPrintersKeyPath);
    std::vector<std::string> printers = vtxsim::PrinterNames();
    if (printers.empty())
        fmt::print("  none\n");
    for (const std::string& printer : printers) {
        std::string port = vtxsim::PrinterPort(printer);
        bool ours = std::any_of(ports.ports.begin(), ports.ports.end(),
                                [&](const vtxsim::PortInfo& p) { return SameName(p.name, port); });
        fmt::print("  \"{}\" uses port \"{}\"{}\n", printer, port,
                   ours                       ? ", a port of the monitor"
                   : port.starts_with("USB/") ? ": the monitor offers no such port"
                                              : ": not a port of this monitor");
    }
}

// The serial's device is known to be there.
void ExplainSerial(const std::string& serial) {
    const DeviceView device = *DeviceOfSerial(serial);
    // The customer's files are not in the export: the maker's files are taken as installed.
    std::string infPath = "OEM0.INF";
    std::string driver =
        vtxsim::StringValue(kHklm + "Enum\\" + device.instance, "driver").value_or("");
    if (!driver.empty())
        infPath = vtxsim::StringValue(
                      kHklm + "System\\CurrentControlSet\\Services\\Class\\" + driver, "InfPath")
                      .value_or("");
    vtxsim::InstallDriverFiles(infPath);
    if (std::optional<std::string> setupRoot = vtxsim::StringValue(
            kHklm + "Software\\Kelvara\\VTXIO\\" + ModelRemainder(device.model), "SetupRootPath")) {
        try {
            vtxsim::PutFile(*setupRoot + "\\launch.ini", "[Launch]\r\n");
            vtxsim::PutFile(*setupRoot + "\\..\\setup.exe", "MZ");
        } catch (const std::invalid_argument&) {
            // A drive the machine does not have: the setup is then not found, as there.
        }
    }
    fmt::print("\nIf {} ({}) were attached now (helper with -action=2, on a copy; the maker's "
               "files taken as installed):\n",
               serial, device.model);
    OnCopy([&] { RunHelperAction(2, device.model, device.serial); },
           [&](const Changes& changes) { ReportInstall(device.model, device.serial, changes); });
    fmt::print("\nIf {} were removed (helper with -action=64, on a copy, the same as detach "
               "--dry-run):\n",
               serial);
    ReportRemoval(OnCopy([&] { RemovePrinter(device.serial); }));
}

} // namespace

int RunExplain(const ExplainOptions& options) {
    ThrowAwayMachine machine;
    ImportForeignRegistry(options.file);
    if (!options.serial.empty() && !DeviceOfSerial(options.serial))
        throw LabError("the registry has no device with serial " + options.serial +
                       " below HKEY_LOCAL_MACHINE\\Enum\\USB (serials: " + KnownSerials() + ")");
    fmt::print("{}: what the Draftaire monitor and helper make of this registry\n\n",
               options.file.string());
    std::vector<InterfaceView> interfaces = PrinterInterfaces();
    std::vector<std::string> instances;
    for (const std::string& name : vtxsim::MonitorNames()) {
        if (SameName(vtxsim::MonitorDriver(name).substr(
                         vtxsim::MonitorDriver(name).find_last_of('\\') + 1),
                     "vtxpmo01.dll"))
            instances.push_back(name);
    }
    // Without an instance the spooler would load nothing; one of our own names the ports.
    if (instances.empty())
        vtxsim::SetStringValue(kHklm + vtxsim::kMonitorsKeyPath + "\\" + kProbeInstance, "Driver",
                               "vtxpmo01.dll");
    vtxsim::EnumPortsResult ports;
    std::vector<PortOutcome> outcomes;
    {
        vtxsim::MonitorHost host;
        outcomes = RunDiscovery(host, interfaces, &ports);
    }
    ExplainInterfaces(interfaces, PrinterInterfaces(), outcomes);
    ExplainOrderDependence();
    fmt::print("\nPorts the monitor lists (EnumPorts): {}\n", ports.ports.size());
    for (const vtxsim::PortInfo& port : ports.ports)
        fmt::print("  {}\n", port.name);
    if (instances.empty())
        vtxsim::DeleteRegistryKey(kHklm + vtxsim::kMonitorsKeyPath + "\\" + kProbeInstance);
    ExplainMonitorsAndPrinters(instances, ports);
    if (!options.serial.empty())
        ExplainSerial(options.serial);
    return 0;
}

} // namespace lab
