#include "tools/lab/port_words.h"
#include "tools/lab/monitor_reading.h"

#include <fmt/format.h>

namespace lab {
namespace {

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

} // namespace

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

} // namespace lab
