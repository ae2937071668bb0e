// A Wine prefix's registry file ("system.reg", saved by its wineserver as it ends) as the text of
// a "Windows Registry Editor Version 5.00" export, which the simulator's reader takes: Wine's own
// format holds what a Windows 98 regedit would show, in other words.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace winestate {

// The sections of the file whose key (its path below HKEY_LOCAL_MACHINE, as Wine spells it)
// `wanted` accepts. A line that is not of Wine's format throws std::runtime_error
// "<source>:<line>: <what>".
std::string ExportFromWineRegistry(std::string_view file,
                                   const std::function<bool(std::string_view)>& wanted,
                                   const std::string& source);

} // namespace winestate
