// A printer attached as the maker's driver installation and the device installer leave it,
// and what the helper then did.
#pragma once

#include "driver_install/printer_install.h"
#include "tools/lab/snapshot.h"

#include "platform/sim/control/simctl.h"

#include <optional>
#include <string>

namespace lab {

// The printer of a model and serial; an empty product id takes the model's own.
vtxsim::PrinterSpec SpecFor(const std::string& model, const std::string& serial,
                            const std::string& productId);
// Keys, interface and driver files of the maker's installation, the maker's setup software,
// the printer plugged in. The helper with "-action=2" comes next (RunHelperAction).
void PlugIn(const vtxsim::PrinterSpec& spec);
// The helper's install in words: the monitor instance, CmdLine, the setup's start or RunOnce,
// the RENAME entries. changes is what the helper changed.
void ReportInstall(const std::string& model, const std::string& serial, const Changes& changes);
// The serial's monitor instance, "(none)" when it has none.
std::string MonitorInstanceOf(const std::string& serial);

// The shipped model that the helper takes model for: the same model keys, found by the model
// remainder in any letter case ("Draftaire k9" is a K9; "draftaire k9" is not, its remainder
// being all of it).
std::optional<std::string> ShippedModelOf(const std::string& model);
// "Draftaire K9, Draftaire K7, ..." : the models the maker ships and those of this machine's
// model keys.
std::string KnownModels();
// The error the helper recorded in a CmdLine, as " -v error=<code>" gives it.
std::optional<std::string> ErrorOfCmdLine(const std::string& cmdLine);

} // namespace lab
