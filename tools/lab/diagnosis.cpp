#include "tools/lab/diagnosis.h"
#include "tools/lab/leftovers.h"
#include "tools/lab/shown_text.h"

#include "common/product_names.h"
#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <algorithm>

namespace lab {

void Problems::Add(std::string key, std::string what, std::string todo) {
    list_.push_back({std::move(key), std::move(what), std::move(todo)});
}

void CheckPrinterPorts(const std::vector<PortOutcome>& outcomes, Problems* problems) {
    for (const std::string& printer : vtxsim::PrinterNames()) {
        std::string port = vtxsim::PrinterPort(printer);
        auto named = [&](const PortOutcome& o) { return SameName(o.port, port); };
        bool opens = std::any_of(outcomes.begin(), outcomes.end(),
                                 [&](const PortOutcome& o) { return named(o) && o.opens; });
        bool listed = std::any_of(outcomes.begin(), outcomes.end(),
                                  [&](const PortOutcome& o) { return named(o) && o.listed; });
        std::string key = kHklm + vtxsim::kPrintersKeyPath + "\\" + printer;
        if (opens)
            continue;
        if (listed)
            problems->Add(key,
                          fmt::format("printer \"{}\" prints to port \"{}\", which only a disabled "
                                      "interface provides: OpenPort refuses it",
                                      printer, port),
                          "set Enabled=dword:00000001 on that interface, or plug the printer in "
                          "again so that its driver does");
        else if (port.starts_with("USB/"))
            problems->Add(key,
                          fmt::format("printer \"{}\" prints to port \"{}\", which no interface "
                                      "provides",
                                      printer, port),
                          "give the printer a port the monitor lists, or attach the printer "
                          "of that serial again");
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
        problems->Add(view.parametersKey,
                      fmt::format("PortName \"{}\" differs from every PortName<n> of {} ({}): the "
                                  "setup program is told another port than the spooler's",
                                  portName, Shown(model), told),
                      "delete PortName so that the monitor composes it, or correct it or the "
                      "model key's PortName<n> to match");
    }
}

void CheckModelKeys(Problems* problems) {
    const std::string models = kHklm + MAKER_KEY MODEL_KEYS_NAME;
    for (const std::string& remainder : vtxsim::SubkeyNames(models)) {
        std::string key = ModelKeyOf(remainder);
        for (const char* name : {"SetupRootPath", "SetupExecFile"}) {
            std::optional<std::string> value = vtxsim::StringValue(key, name);
            if (!value)
                problems->Add(key,
                              fmt::format("no {}: the helper records error 2 and starts no setup "
                                          "program",
                                          name),
                              "install the maker's software for this model again");
            else if (value->empty())
                problems->Add(key,
                              fmt::format("{} is empty: the helper records error 1008 and "
                                          "starts no setup program",
                                          name),
                              "install the maker's software for this model again");
        }
        if (!vtxsim::StringValue(key, "ProductID"))
            problems->Add(key, "no ProductID: a removal of this model's printers deletes nothing",
                          "install the maker's software for this model again");
    }
}

void CheckLeftovers(const std::vector<std::string>& monitorInstances, Problems* problems) {
    for (const NamedSerial& named : SerialsNamedInKeys()) {
        if (DeviceOfSerial(named.serial))
            continue;
        for (const Leftover& left : LeftoversOf(named.serial, named.remainder)) {
            if (left.key == ModelKeyOf(named.remainder))
                continue; // other printers of the model may need it
            problems->Add(left.key,
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
                kHklm + vtxsim::kMonitorsKeyPath + "\\" + name,
                fmt::format("monitor instance \"{}\" has no device of that serial", Shown(name)),
                "delete the key if the printer will not come back");
    }
}

void PrintProblems(const Problems& problems) {
    if (problems.Empty()) {
        fmt::print("\nNo problems found.\n");
        return;
    }
    fmt::print("\nProblems found ({}):\n", problems.List().size());
    for (const Problem& p : problems.List())
        fmt::print("  {}: {}; to do: {}\n", p.key, p.what, p.todo);
}

nlohmann::json ProblemsJson(const Problems& problems) {
    nlohmann::json list = nlohmann::json::array();
    for (const Problem& p : problems.List())
        list.push_back({{"key", p.key}, {"problem", p.what}, {"todo", p.todo}});
    return list;
}

} // namespace lab
