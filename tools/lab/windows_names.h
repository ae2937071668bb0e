// The names vtxlab gives the Windows versions a machine can be set to.
#pragma once

#include "platform/sim/control/kernel_ctl.h"

#include <string>

namespace lab {

// "Windows 98".
std::string WindowsName(vtxsim::WindowsVersion version);
// "Windows 98 (4.10)": the name with the version number the system reports, where the name
// does not already carry it.
std::string WindowsNameAndNumber(vtxsim::WindowsVersion version);

} // namespace lab
