// The process journal as the restart sees it: a start recorded without CreateProcessA.
#pragma once

#include "platform/sim/machine_types.h"

#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The application a command line names, found as Windows finds it for CreateProcessA with no
// application name: the quoted first token, or the shortest space-delimited prefix that names
// an existing file (".exe" added when it has no extension). Empty when none exists.
std::string ApplicationOfCommandLine(std::string_view commandLine);

// Appends one record to the machine's journal; returns the process id it gave the start.
DWORD RecordProcessStart(vtxsim::ProcessStart start);

// Every start the journal holds, in order; and the journal emptied.
std::vector<vtxsim::ProcessStart> ProcessJournal();
void ClearProcessJournal();

} // namespace sim
