// explain's diagnosis: the problems found on a customer's registry, one line each with the key
// it concerns and what to do. Each check appends to one list; a check of its own file joins
// the diagnosis with one call in commands/explain.cpp.
#pragma once

#include "tools/lab/machine_view.h"
#include "tools/lab/problem.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace lab {

// What the monitor made of one device interface, found by running it.
struct PortOutcome {
    std::string port;    // the name the monitor gave it, empty for none
    bool listed = false; // EnumPorts lists that name
    bool opens = false;  // OpenPort accepts it
};

// What the monitor makes of a printer's Port value, the same for its words and its problems.
struct PrinterPortVerdict {
    bool hasPort = false; // a Port value is there
    bool isText = false;  // of type REG_SZ
    std::string text;     // its bytes up to the first zero
    bool listed = false;  // EnumPorts lists that name
    bool opens = false;   // OpenPort accepts it
};
PrinterPortVerdict VerdictOfPrinterPort(const std::vector<PortOutcome>& outcomes,
                                        const std::string& printer);

// A printer of the spooler without a Port, or whose "USB/" port no interface provides, or only
// a disabled one.
void CheckPrinterPorts(const std::vector<InterfaceView>& interfaces,
                       const std::vector<PortOutcome>& outcomes, Problems* problems);
// An interface's PortName that equals none of the PortName<n> its model key gives the setup.
void CheckPortNames(const std::vector<InterfaceView>& interfaces, Problems* problems);
// A model key without the setup values the helper reads, or without the product id the
// removal needs; an installed printer whose model has no model key.
void CheckModelKeys(Problems* problems);
// Keys naming a serial whose device is gone, and monitor instances without a device.
void CheckLeftovers(const std::vector<std::string>& monitorInstances, Problems* problems);

// "Problems found (N):" and a line each, or "No problems found." Each line starts
// "<file>:<line>:" (just "<file>:" when the file lacks the key), where an editor opens the
// customer's file.
void PrintProblems(const Problems& problems, const std::string& file);
nlohmann::json ProblemsJson(const Problems& problems);

} // namespace lab
