// explain's diagnosis: the problems found on a customer's registry, one line each with the key
// it concerns and what to do. Each check appends to one list; a check of its own file joins
// the diagnosis with one call in explain.cpp.
#pragma once

#include "tools/lab/machine_view.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace lab {

struct Problem {
    std::string key;  // the registry key (or "<key>  <value>") it concerns
    std::string what; // what is wrong
    std::string todo; // what to do about it
};

class Problems {
  public:
    void Add(std::string key, std::string what, std::string todo);
    const std::vector<Problem>& List() const { return list_; }
    bool Empty() const { return list_.empty(); }

  private:
    std::vector<Problem> list_;
};

// What the monitor made of one device interface, found by running it.
struct PortOutcome {
    std::string port;    // the name the monitor gave it, empty for none
    bool listed = false; // EnumPorts lists that name
    bool opens = false;  // OpenPort accepts it
};

// A printer of the spooler whose "USB/" port no interface provides, or only a disabled one.
void CheckPrinterPorts(const std::vector<PortOutcome>& outcomes, Problems* problems);
// An interface's PortName that equals none of the PortName<n> its model key gives the setup.
void CheckPortNames(const std::vector<InterfaceView>& interfaces, Problems* problems);
// A model key without the setup values the helper reads, or without the product id the
// removal needs.
void CheckModelKeys(Problems* problems);
// Keys naming a serial whose device is gone, and monitor instances without a device.
void CheckLeftovers(const std::vector<std::string>& monitorInstances, Problems* problems);

// "Problems found (N):" and a line each, or "No problems found."
void PrintProblems(const Problems& problems);
nlohmann::json ProblemsJson(const Problems& problems);

} // namespace lab
