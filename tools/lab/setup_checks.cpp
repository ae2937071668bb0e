#include "tools/lab/setup_checks.h"
#include "tools/lab/helper_codes.h"
#include "tools/lab/leftovers.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/shown_text.h"

#include "common/port_serial.h"
#include "common/product_names.h"
#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <algorithm>

namespace lab {
namespace {

std::string CmdLineKeysPath() {
    return kHklm + MAKER_KEY SETUP_KEYS_NAME;
}

struct CmdLineKey {
    std::string key;
    std::string remainder;
    std::string serial;
};

std::vector<CmdLineKey> CmdLineKeys() {
    const std::string kCmdLineKeys = CmdLineKeysPath();
    std::vector<CmdLineKey> keys;
    for (const std::string& remainder : vtxsim::SubkeyNames(kCmdLineKeys))
        for (const std::string& serial : vtxsim::SubkeyNames(kCmdLineKeys + "\\" + remainder))
            keys.push_back({kCmdLineKeys + "\\" + remainder + "\\" + serial, remainder, serial});
    return keys;
}

// The text of " -v <option>=" up to the next " -v " or the end; none when it is not there.
std::optional<std::string> Piece(const std::string& cmdLine, const std::string& option) {
    const std::string label = " -v " + option + "=";
    size_t at = cmdLine.find(label);
    if (at == std::string::npos)
        return std::nullopt;
    size_t start = at + label.size();
    size_t end = cmdLine.find(" -v ", start);
    return cmdLine.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// What the setup program misses in a CmdLine the helper recorded no failure in; "" for nothing.
std::string MissingPiece(const std::string& cmdLine, const std::string& serial) {
    std::optional<std::string> port = Piece(cmdLine, "port");
    if (!port)
        return "it has no \" -v port=\": the setup program is told no port";
    if (port->empty())
        return "its \" -v port=\" is empty: the setup program is told no port";
    if (!PortNamesSerial(port->c_str(), serial.c_str()))
        return fmt::format("its port \"{}\" does not name the serial {}", Shown(*port),
                           Shown(serial));
    if (!serial.empty() && !Piece(cmdLine, "serial"))
        return "it has no \" -v serial=\"";
    if (!Piece(cmdLine, "bustype"))
        return "it has no \" -v bustype=\"";
    return "";
}

// The previous helper took the first PortName<n> that held the serial anywhere: "9B3306" got
// "USB/Draftaire K9/9B33061" when that printer's value came first. True when it found this.
bool CheckAnotherPrintersPort(const CmdLineKey& k, const std::string& cmdLine, Problems* problems) {
    std::optional<std::string> port = Piece(cmdLine, "port");
    if (!port || k.serial.empty() || port->find(k.serial) == std::string::npos ||
        PortNamesSerial(port->c_str(), k.serial.c_str()))
        return false;
    std::string other = port->substr(port->rfind('/') + 1);
    std::string owner = DeviceOfSerial(other) ? "printer " + Shown(other)
                                              : "serial " + Shown(other) + ", not installed";
    std::string remedy = fmt::format(
        "if the setup program set up a printer of {} on \"{}\", delete that printer; then, with "
        "this helper, detach and attach {} again: it takes only a PortName<n> whose part after "
        "the last \"/\" is the whole serial",
        Shown(k.serial), Shown(*port), Shown(k.serial));
    std::optional<std::string> own;
    for (const auto& [name, value] : NumberedPortNames(ModelKeyOf(k.remainder)))
        if (!own && PortNamesSerial(value.c_str(), k.serial.c_str()))
            own = name + "=\"" + Shown(value) + "\"";
    problems->Add(ProblemCode::CmdLineUnusable, k.key, "CmdLine",
                  fmt::format("the setup program of {} is told the port \"{}\" of {}: the "
                              "previous helper took the first PortName<n> holding {} anywhere",
                              Shown(k.serial), Shown(*port), owner, Shown(k.serial)),
                  own ? fmt::format("{} ({})", remedy, *own)
                      : fmt::format("{}; the model key has no such PortName<n> yet, so add one "
                                    "first",
                                    remedy));
    return true;
}

void CheckCmdLine(const CmdLineKey& k, Problems* problems) {
    std::optional<vtxsim::RegistryValue> raw = vtxsim::RawValue(k.key, "CmdLine");
    const std::string again = "detach and attach the printer again so that the helper writes it";
    if (!raw) {
        problems->Add(ProblemCode::CmdLineUnusable, k.key, "",
                      "the key has no CmdLine: the setup program finds no parameters", again);
        return;
    }
    if (raw->type != REG_SZ)
        return; // a problem of its type
    std::string cmdLine = TextOf(*raw);
    std::optional<HelperResult> result = HelperResultOf(cmdLine);
    if (!result) {
        problems->Add(ProblemCode::CmdLineUnusable, k.key, "CmdLine",
                      fmt::format("CmdLine \"{}\" lacks \" -v dialog=\", \" -v error=\" or "
                                  "\" -v abort=\": the setup program cannot tell how the helper "
                                  "ended",
                                  Shown(cmdLine)),
                      again);
        return;
    }
    if (result->dialog != 0 || result->error != 0 || result->abort != 0) {
        HelperCodeWords words = WordsOfHelperResult(*result);
        problems->Add(ProblemCode::HelperRecordedError, k.key, "CmdLine",
                      fmt::format("the helper recorded a failure at the attach of {} (dialog={} "
                                  "error={} abort={}): {}",
                                  Shown(k.serial), result->dialog, result->error, result->abort,
                                  words.meaning),
                      words.todo);
        return;
    }
    if (CheckAnotherPrintersPort(k, cmdLine, problems))
        return;
    std::string missing = MissingPiece(cmdLine, k.serial);
    if (!missing.empty())
        problems->Add(ProblemCode::CmdLineUnusable, k.key, "CmdLine",
                      "the setup program cannot use this CmdLine: " + missing,
                      "correct the model key's PortName<n> and SetupParameters, then " + again);
}

// Each attach without the shell writes the one value "RunOnce": only the last one queued runs.
void CheckRunOnce(const std::vector<CmdLineKey>& keys, Problems* problems) {
    std::optional<std::string> queued = vtxsim::StringValue(kRunOnceKey, RUN_ONCE_VALUE_NAME);
    std::optional<NamedSerial> named = queued ? SerialOfRunOnce(*queued) : std::nullopt;
    if (!named)
        return;
    for (const CmdLineKey& k : keys) {
        if (SameName(k.serial, named->serial) || !DeviceOfSerial(k.serial))
            continue;
        problems->Add(
            ProblemCode::RunOnceOverwritten, kRunOnceKey, RUN_ONCE_VALUE_NAME,
            fmt::format("RunOnce queues the setup of {} only: the setup of {} (CmdLine in {}) was "
                        "queued in the same value by its attach without the shell and does not "
                        "run if that attach came since the last logon",
                        Shown(named->serial), Shown(k.serial), k.key),
            fmt::format("after the next logon, run the setup program with -vtregistry={}\\{} by "
                        "hand if the setup of {} did not run",
                        k.remainder, k.serial, Shown(k.serial)));
    }
}

struct PrinterPort {
    std::string name;
    std::string port;
};

// The spooler's printers with a text Port, in the order the printer scan reads them.
std::vector<PrinterPort> PrinterPorts() {
    std::vector<PrinterPort> printers;
    for (const std::string& name : vtxsim::PrinterNames()) {
        std::optional<vtxsim::RegistryValue> raw =
            vtxsim::RawValue(kHklm + vtxsim::kPrintersKeyPath + "\\" + name, "Port");
        if (raw)
            printers.push_back({name, TextOf(*raw)});
    }
    return printers;
}

// The interface's Device Parameters key and its SerialNumber when there is one, else the
// device's own key: where the printer that got no setup is seen.
std::pair<std::string, std::string> PlaceOfDevice(const std::vector<InterfaceView>& interfaces,
                                                  const DeviceView& device) {
    for (const InterfaceView& view : interfaces)
        if (SameName(view.deviceInstance, device.instance))
            return {view.parametersKey, view.serialNumber ? "SerialNumber" : ""};
    return {kHklm + "Enum\\" + device.instance, ""};
}

bool HasCmdLineKey(const std::vector<CmdLineKey>& keys, const std::string& serial) {
    return std::any_of(keys.begin(), keys.end(),
                       [&](const CmdLineKey& k) { return SameName(k.serial, serial); });
}

bool HasMonitorInstance(const std::string& serial) {
    std::vector<std::string> names = vtxsim::MonitorNames();
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& name) { return SameName(name, serial); });
}

// The previous helper's printer scan took a printer for set up when any printer's Port held its
// serial anywhere: "9A12074" beside "USB/Draftaire K9/9A120745" got no monitor instance, no
// CmdLine and no setup. Seen as a device no Port names, whose serial is inside one, and that the
// helper never got past the scan for.
void CheckSerialsInsideOtherPorts(const std::vector<CmdLineKey>& keys, Problems* problems) {
    std::vector<PrinterPort> printers = PrinterPorts();
    std::vector<InterfaceView> interfaces = PrinterInterfaces();
    for (const DeviceView& device : MakerDevices()) {
        const std::string& serial = device.serial;
        auto names = [&](const PrinterPort& p) {
            return PortNamesSerial(p.port.c_str(), serial.c_str());
        };
        if (serial.empty() || std::any_of(printers.begin(), printers.end(), names) ||
            HasCmdLineKey(keys, serial) || HasMonitorInstance(serial))
            continue;
        auto holder = std::find_if(printers.begin(), printers.end(), [&](const PrinterPort& p) {
            return p.port.find(serial) != std::string::npos;
        });
        if (holder == printers.end())
            continue;
        auto [key, value] = PlaceOfDevice(interfaces, device);
        problems->Add(
            ProblemCode::SerialInsideAnotherPort, key, value,
            fmt::format("printer {} ({}) was never set up: the previous helper's printer scan "
                        "found {} inside the Port \"{}\" of printer \"{}\" ({}), took the "
                        "printer for set up and registered no monitor instance, wrote no "
                        "CmdLine and started no setup program for it",
                        Shown(serial), device.instance, Shown(serial), Shown(holder->port),
                        holder->name, kHklm + vtxsim::kPrintersKeyPath + "\\" + holder->name),
            fmt::format("with this helper, detach and attach {} again, or run its attach "
                        "({} -action=2 -model={} -serial={}): it takes a printer for "
                        "set up only when a Port's part after the last \"/\" is the whole serial",
                        Shown(serial), HELPER_FILE_NAME, Shown(device.model), Shown(serial)));
    }
}

} // namespace

void CheckSetups(Problems* problems) {
    std::vector<CmdLineKey> keys = CmdLineKeys();
    for (const CmdLineKey& k : keys)
        if (DeviceOfSerial(k.serial))
            CheckCmdLine(k, problems);
    CheckRunOnce(keys, problems);
    CheckSerialsInsideOtherPorts(keys, problems);
}

} // namespace lab
