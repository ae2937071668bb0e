#include "tools/lab/diagnosis.h"
#include "tools/lab/leftovers.h"
#include "tools/lab/printer_words.h"
#include "tools/lab/shown_text.h"

#include "common/product_names.h"
#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <algorithm>

namespace lab {
namespace {

std::string PrinterKey(const std::string& printer) {
    return kHklm + vtxsim::kPrintersKeyPath + "\\" + printer;
}

// The text after the last "/" of a port name: the serial the helper composed it with.
std::string SerialOfPort(const std::string& port) {
    size_t slash = port.rfind('/');
    return slash == std::string::npos ? "" : port.substr(slash + 1);
}

// The interface whose device has that serial, by its SerialNumber or its device instance.
std::optional<size_t> InterfaceOfSerial(const std::vector<InterfaceView>& interfaces,
                                        const std::string& serial) {
    for (size_t i = 0; i < interfaces.size(); ++i) {
        const InterfaceView& view = interfaces[i];
        std::string own = view.serialNumber && view.serialNumber->type == REG_SZ
                              ? TextOf(*view.serialNumber)
                              : SerialOf(view.deviceInstance);
        if (!serial.empty() &&
            (SameName(own, serial) || SameName(SerialOf(view.deviceInstance), serial)))
            return i;
    }
    return std::nullopt;
}

// A "USB/" port no interface gives: its serial's interface gives another name, or none is there.
void PortNotGiven(const std::vector<InterfaceView>& interfaces,
                  const std::vector<PortOutcome>& outcomes, const std::string& printer,
                  const std::string& port, Problems* problems) {
    std::optional<size_t> own = InterfaceOfSerial(interfaces, SerialOfPort(port));
    if (!own) {
        problems->Add(ProblemCode::PortWithoutInterface, PrinterKey(printer), "Port",
                      fmt::format("printer \"{}\" prints to port \"{}\", which no interface "
                                  "provides",
                                  printer, port),
                      "give the printer a port the monitor lists, or attach the printer of that "
                      "serial again");
        return;
    }
    const std::string& given = outcomes[*own].port;
    std::string now = given.empty() ? "no port" : "the port \"" + given + "\"";
    problems->Add(
        ProblemCode::PrinterPortRenamed, PrinterKey(printer), "Port",
        fmt::format("printer \"{}\" prints to port \"{}\", which no interface provides: the "
                    "interface of {} is installed and gives {}",
                    printer, port, Shown(SerialOfPort(port)), now),
        given.empty()
            ? "mend that interface's values (see its problem); attaching again does nothing "
              "while a printer's Port names the serial"
            : fmt::format("mend the interface's values so that it gives \"{}\" again (see its "
                          "problems), or point the printer at \"{}\"; attaching again does "
                          "nothing while a printer's Port names the serial",
                          port, given));
}

} // namespace

PrinterPortVerdict VerdictOfPrinterPort(const std::vector<PortOutcome>& outcomes,
                                        const std::string& printer) {
    PrinterPortVerdict verdict;
    std::optional<vtxsim::RegistryValue> raw = vtxsim::RawValue(PrinterKey(printer), "Port");
    verdict.hasPort = raw.has_value();
    verdict.text = raw ? TextOf(*raw) : "";
    verdict.isText = raw && raw->type == REG_SZ;
    for (const PortOutcome& o : outcomes) {
        if (!SameName(o.port, verdict.text) || o.port.empty())
            continue;
        verdict.listed = verdict.listed || o.listed;
        verdict.opens = verdict.opens || o.opens;
    }
    return verdict;
}

void CheckPrinterPorts(const std::vector<InterfaceView>& interfaces,
                       const std::vector<PortOutcome>& outcomes, Problems* problems) {
    for (const std::string& printer : vtxsim::PrinterNames()) {
        PrinterPortVerdict verdict = VerdictOfPrinterPort(outcomes, printer);
        std::string key = PrinterKey(printer);
        if (!verdict.hasPort) {
            problems->Add(ProblemCode::PrinterWithoutPort, key, "",
                          fmt::format("printer \"{}\" has no Port value: the spooler has no port "
                                      "to print it to",
                                      printer),
                          "delete the printer and add it again on its port, or set its Port to "
                          "a port the monitor lists");
            continue;
        }
        if (!verdict.isText || verdict.opens)
            continue; // a Port of another type is a problem of its type
        if (verdict.listed)
            problems->Add(ProblemCode::PrinterPortDisabled, key, "Port",
                          fmt::format("printer \"{}\" prints to port \"{}\", which only a disabled "
                                      "interface provides: OpenPort refuses it",
                                      printer, verdict.text),
                          "set Enabled=dword:00000001 on that interface, or plug the printer in "
                          "again so that its driver does");
        else if (verdict.text.starts_with("USB/"))
            PortNotGiven(interfaces, outcomes, printer, verdict.text, problems);
    }
}

void CheckPortNames(const std::vector<InterfaceView>& interfaces, Problems* problems) {
    for (const InterfaceView& view : interfaces) {
        if (!view.portName)
            continue;
        std::string model =
            vtxsim::StringValue(kHklm + "Enum\\" + view.deviceInstance, "DeviceDesc").value_or("");
        std::vector<std::pair<std::string, std::string>> numbered =
            NumberedPortNames(ModelKeyOf(ModelRemainder(model)));
        if (model.empty() || numbered.empty())
            continue;
        std::string portName = TextOf(*view.portName);
        if (std::any_of(numbered.begin(), numbered.end(),
                        [&](const auto& n) { return n.second == portName; }))
            continue;
        std::string told;
        for (const auto& [name, text] : numbered)
            told += (told.empty() ? "" : ", ") + name + " \"" + text + "\"";
        problems->Add(ProblemCode::PortNameMismatch, view.parametersKey, "PortName",
                      fmt::format("PortName \"{}\" differs from every PortName<n> of {} ({}): the "
                                  "setup program is told another port than the spooler's",
                                  portName, Shown(model), told),
                      "delete PortName so that the monitor composes it, or correct it or the "
                      "model key's PortName<n> to match");
    }
}

void CheckModelKeys(Problems* problems) {
    const std::string models = kHklm + MAKER_KEY MODEL_KEYS_NAME;
    const char* const reinstall = "install the maker's software for this model again";
    for (const std::string& remainder : vtxsim::SubkeyNames(models)) {
        std::string key = ModelKeyOf(remainder);
        for (const char* name : {"SetupRootPath", "SetupExecFile"}) {
            std::optional<std::string> value = vtxsim::StringValue(key, name);
            if (!value)
                problems->Add(ProblemCode::SetupValueMissing, key, name,
                              fmt::format("no {}: the helper records error 2 and starts no setup "
                                          "program",
                                          name),
                              reinstall);
            else if (value->empty())
                problems->Add(ProblemCode::SetupValueEmpty, key, name,
                              fmt::format("{} is empty: the helper records error 1008 and "
                                          "starts no setup program",
                                          name),
                              reinstall);
        }
        if (!vtxsim::RawValue(key, "SetupParameters"))
            problems->Add(ProblemCode::SetupParametersMissing, key, "",
                          "no SetupParameters: the helper writes CmdLine without them, so the "
                          "setup program is not told \"-s\" and runs as if started by hand",
                          reinstall);
        if (!vtxsim::StringValue(key, "ProductID"))
            problems->Add(ProblemCode::ProductIdMissing, key, "",
                          "no ProductID: a removal of this model's printers deletes nothing",
                          reinstall);
    }
    for (const DeviceView& device : MakerDevices()) {
        std::string key = ModelKeyOf(ModelRemainder(device.model));
        if (!vtxsim::KeyExists(key))
            problems->Add(ProblemCode::ModelKeyMissing, kHklm + "Enum\\" + device.instance,
                          "DeviceDesc",
                          fmt::format("printer {} is a \"{}\", which has no model key {}: the "
                                      "helper records error 2 at its attach and starts no setup "
                                      "program",
                                      Shown(device.serial), Shown(device.model), key),
                          reinstall);
    }
}

void CheckLeftovers(const std::vector<std::string>& monitorInstances, Problems* problems) {
    for (const NamedSerial& named : SerialsNamedInKeys()) {
        if (DeviceOfSerial(named.serial))
            continue;
        for (const Leftover& left : LeftoversOf(named.serial, named.remainder)) {
            if (left.key == ModelKeyOf(named.remainder))
                continue; // other printers of the model may need it
            size_t gap = left.key.find("  ");
            std::string key = gap == std::string::npos ? left.key : left.key.substr(0, gap);
            std::string value = gap == std::string::npos ? "" : left.key.substr(gap + 2);
            problems->Add(ProblemCode::LeftoverOfRemovedPrinter, key, value,
                          fmt::format("{} (printer {} is no longer installed)", left.what,
                                      Shown(named.serial)),
                          fmt::format("delete it if the printer will not come back (kept because "
                                      "{})",
                                      left.why));
        }
    }
    for (const std::string& name : monitorInstances) {
        if (!DeviceOfSerial(name))
            problems->Add(
                ProblemCode::MonitorInstanceWithoutDevice,
                kHklm + vtxsim::kMonitorsKeyPath + "\\" + name, "",
                fmt::format("monitor instance \"{}\" has no device of that serial", Shown(name)),
                "delete the key if the printer will not come back");
    }
}

void PrintProblems(const Problems& problems, const std::string& file) {
    if (problems.Empty()) {
        fmt::print("\nNo problems found.\n");
        return;
    }
    fmt::print("\nProblems found ({}):\n", problems.List().size());
    for (const Problem& p : problems.List()) {
        // A value the file lacks is said so; the line is then its key's.
        bool valueMissing = !p.inFile && !p.value.empty() && p.line != 0;
        fmt::print("  {}{}: {}{}{}{}: {}; to do: {} [{}]\n", file,
                   p.line == 0 ? "" : fmt::format(":{}", p.line), p.key,
                   p.value.empty() ? "" : "  ", p.value, valueMissing ? " (not in the file)" : "",
                   p.text, p.todo, CodeName(p.code));
    }
}

nlohmann::json ProblemsJson(const Problems& problems) {
    nlohmann::json list = nlohmann::json::array();
    for (const Problem& p : problems.List())
        list.push_back({{"code", std::string(CodeName(p.code))},
                        {"key", p.key},
                        {"value", p.value},
                        {"line", p.line},
                        {"inFile", p.inFile},
                        {"text", p.text},
                        {"todo", p.todo}});
    return list;
}

} // namespace lab
