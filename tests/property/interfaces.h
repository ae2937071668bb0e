// Printer interfaces as the maker's driver leaves them, and what the monitor's port table must
// hold for them: the model the monitor's properties and the device histories check against.
#pragma once

#include "driver_install/printer_install.h"
#include "platform/sim/control/simctl.h"

#include <rapidcheck.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace property {

struct Interface {
    std::string serial;
    std::string product;                           // "Product"; empty: the model's
    std::optional<vtxsim::RegistryValue> portName; // a stored "PortName", of any form
    std::optional<DWORD> enabled;                  // "Enabled"; none: the value is missing
};
void showValue(const Interface& i, std::ostream& os);

// Interface sets of count interfaces: enabled, disabled and without "Enabled"; products of
// any length; stored port names of any form, some of them one name in different case.
rc::Gen<std::vector<Interface>> Interfaces(int minCount, int maxCount);

vtxsim::PrinterSpec PrinterOf(const Interface& i);
// Puts the interfaces on the machine, one printer each, plugged in.
void InstallInterfaces(const std::vector<Interface>& interfaces);
// The device paths of the interface class in the order the machine enumerates them.
std::vector<std::string> EnumerationOrder();

// The port an interface gets, or none when the monitor must skip it.
struct Port {
    std::string name;
    DWORD enabled = 0;
};
std::optional<Port> PortOf(const Interface& i);

// An entry of the port table.
struct Entry {
    std::string name;
    DWORD enabled = 0;
    std::string devicePath;
};
// One pass over the interfaces into table, in the machine's order: a name that matches an
// enabled entry updates it, an interface that has its own entry updates that, any other is
// added. A full rebuild passes over an empty table.
void RecordPass(std::vector<Entry>& table, const std::vector<Interface>& interfaces);
// Whether an OpenPort of name must succeed.
bool Opens(const std::vector<Entry>& table, const std::string& name);

} // namespace property
