// What of a printer the helper's removal keeps, and why: the keys and values that still name its
// serial once its device is gone. detach and explain's removal preview list them; explain finds
// them for printers removed long ago.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lab {

struct Leftover {
    std::string key;  // the key, or "<key>  <value name>" for a single value
    std::string what; // what it is
    std::string why;  // why the removal keeps it
};

// On the current machine, what names serial (of the model remainder) though its device may be
// gone.
std::vector<Leftover> LeftoversOf(const std::string& serial, const std::string& remainder);
// Whether a device of the maker of that model remainder is installed.
bool ModelHasPrinters(const std::string& remainder);
// Why the removal keeps the CmdLine key of a printer below the model remainder once the printer
// is gone.
std::string CmdLineKeptBecause(const std::string& remainder);
// The model key of a model remainder, with kHklm.
std::string ModelKeyOf(const std::string& remainder);
// "PortName1", "PortName2", ... of a model key as the helper reads them: up to the first missing.
std::vector<std::pair<std::string, std::string>> NumberedPortNames(const std::string& modelKey);
// Every serial the maker's keys name outside Enum: CmdLine keys, PortName<n>, RunOnce, monitor
// instances of vtxpmo01.dll. Each with the model remainder it was found under ("" if none).
struct NamedSerial {
    std::string serial;
    std::string remainder;
};
std::vector<NamedSerial> SerialsNamedInKeys();
// The serial a RunOnce entry of the setup program names ("... -vtregistry=K9\AB12").
std::optional<NamedSerial> SerialOfRunOnce(const std::string& command);

} // namespace lab
