#include "tools/lab/leftovers.h"
#include "tools/lab/machine_view.h"

#include "common/port_serial.h"
#include "common/product_names.h"
#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <algorithm>

namespace lab {
namespace {

const std::string kModelKeys = MAKER_KEY MODEL_KEYS_NAME;
const std::string kCmdLineKeys = MAKER_KEY SETUP_KEYS_NAME;

} // namespace

bool ModelHasPrinters(const std::string& remainder) {
    for (const DeviceView& device : MakerDevices())
        if (SameName(ModelRemainder(device.model), remainder))
            return true;
    return false;
}

std::string CmdLineKeptBecause(const std::string& remainder) {
    // A removal deletes the CmdLine key of its own printer only, and only as the last of its
    // type: the key of a printer removed while another of its type stayed has nothing left to
    // delete it.
    std::string why = "a removal deletes only its own printer's CmdLine key, and only when that "
                      "printer is the last of its type and its class instance names an INF "
                      "file: no later removal of another printer deletes it";
    if (!vtxsim::KeyExists(ModelKeyOf(remainder)))
        why += ", and the model key is gone already";
    return why + "; it stays for ever unless that printer is attached and removed again";
}

std::vector<std::pair<std::string, std::string>> NumberedPortNames(const std::string& modelKey) {
    std::vector<std::pair<std::string, std::string>> names;
    for (unsigned n = 1;; ++n) {
        std::string name = "PortName" + std::to_string(n);
        std::optional<std::string> text = vtxsim::StringValue(modelKey, name);
        if (!text)
            return names;
        names.emplace_back(name, *text);
    }
}

std::string ModelKeyOf(const std::string& remainder) {
    return kHklm + kModelKeys + "\\" + remainder;
}

std::optional<NamedSerial> SerialOfRunOnce(const std::string& command) {
    const std::string option = " -vtregistry=";
    size_t at = command.find(option);
    if (at == std::string::npos)
        return std::nullopt;
    std::string rest = command.substr(at + option.size());
    size_t slash = rest.find('\\');
    if (slash == std::string::npos)
        return std::nullopt;
    return NamedSerial{rest.substr(slash + 1), rest.substr(0, slash)};
}

std::vector<Leftover> LeftoversOf(const std::string& serial, const std::string& remainder) {
    std::vector<Leftover> out;
    std::string cmdKey = kHklm + kCmdLineKeys + "\\" + remainder + "\\" + serial;
    if (vtxsim::KeyExists(cmdKey))
        out.push_back({cmdKey, "the setup program's CmdLine", CmdLineKeptBecause(remainder)});
    for (const auto& [name, port] : NumberedPortNames(ModelKeyOf(remainder))) {
        // The helper's own rule: the port it would tell the setup program for this serial.
        if (PortNamesSerial(port.c_str(), serial.c_str()))
            out.push_back({ModelKeyOf(remainder) + "  " + name,
                           "the port \"" + port + "\" the setup program is told",
                           ModelHasPrinters(remainder)
                               ? "the removal never deletes single values of the model key; they "
                                 "go with the model key"
                               : "the removal never deletes single values of the model key, and "
                                 "no printer of the model is left whose removal would delete "
                                 "the model key: it stays for ever"});
    }
    for (const std::string& name : vtxsim::ValueNames(kRunOnceKey)) {
        std::optional<NamedSerial> named =
            SerialOfRunOnce(vtxsim::StringValue(kRunOnceKey, name).value_or(""));
        if (named && SameName(named->serial, serial))
            out.push_back({kRunOnceKey + "  " + name, "the setup program queued for the next logon",
                           "the removal does not touch RunOnce"});
    }
    if (vtxsim::KeyExists(ModelKeyOf(remainder)) && out.size() > 0)
        out.push_back({ModelKeyOf(remainder), "the model key",
                       ModelHasPrinters(remainder)
                           ? "another printer of the model is still installed"
                           : "the class key names no INF file, and no printer of the model is "
                             "left whose removal would delete it: it stays for ever"});
    return out;
}

std::vector<NamedSerial> SerialsNamedInKeys() {
    std::vector<NamedSerial> named;
    auto add = [&](const std::string& serial, const std::string& remainder) {
        if (std::none_of(named.begin(), named.end(),
                         [&](const NamedSerial& n) { return SameName(n.serial, serial); }))
            named.push_back({serial, remainder});
    };
    for (const std::string& remainder : vtxsim::SubkeyNames(kHklm + kCmdLineKeys))
        for (const std::string& serial :
             vtxsim::SubkeyNames(kHklm + kCmdLineKeys + "\\" + remainder))
            add(serial, remainder);
    for (const std::string& remainder : vtxsim::SubkeyNames(kHklm + kModelKeys))
        for (const auto& [name, port] : NumberedPortNames(ModelKeyOf(remainder)))
            if (size_t slash = port.rfind('/');
                slash != std::string::npos && slash + 1 < port.size())
                add(port.substr(slash + 1), remainder);
    for (const std::string& name : vtxsim::ValueNames(kRunOnceKey))
        if (std::optional<NamedSerial> n =
                SerialOfRunOnce(vtxsim::StringValue(kRunOnceKey, name).value_or("")))
            add(n->serial, n->remainder);
    return named;
}

} // namespace lab
