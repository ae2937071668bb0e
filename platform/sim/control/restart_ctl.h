// Control: restarting the simulated machine, as far as the files and programs it touches.
#pragma once

#include "platform/sim/machine_types.h"

#include <string>
#include <vector>

namespace vtxsim {

// RestartStepKind and RestartStep: machine_types.h.

// What Windows 98 does between shutting down and the shell's start: WININIT carries out the
// "RENAME" section of C:\Windows\wininit.ini in order and renames the file to wininit.bak;
// then each value of HKLM "Software\Microsoft\Windows\CurrentVersion\RunOnce" is started
// (a record in the process journal) and deleted. Returns the steps in order.
std::vector<RestartStep> RestartMachine();
std::string Describe(const RestartStep& step);

} // namespace vtxsim
