// vtxspool, the spooler stand-in of the Wine tests, is built twice: as a PE32 program that
// runs under Wine and as a Linux program on the simulated machine. The operations it drives are
// the same code; these are the parts that differ between the two machines.
#pragma once

#include "platform/monitor9x.h"

namespace standin {

// Loads vtxpmo01.dll as the 9x spooler does and fills monitor through InitializeMonitorEx with
// the instance root; prints InitializeMonitorEx=ok or the failure.
bool LoadMonitor(char* registryRoot, MONITOR* monitor);

// The commands only one of the two machines has (making a device, the shell, the simulated
// machine's own controls). Returns -1 when argv names none of them.
int RunMachineCommand(int argc, char** argv);

int Fail(const char* step);

} // namespace standin
