// Control: the programs started on the machine. The maker's programs are not run; each start
// is a record in the journal of the machine directory, which every process of the machine sees.
#pragma once

#include "platform/win32api.h"

#include <string>
#include <vector>

namespace vtxsim {

struct ProcessStart {
    std::string source;           // "CreateProcessA", or "RunOnce" for a start at restart
    std::string application;      // as given, or as found from the command line
    std::string commandLine;      // as given
    std::string currentDirectory; // as given; empty for none
    DWORD creationFlags = 0;
    DWORD startupInfoSize = 0; // the STARTUPINFOA's cb
    bool started = false;      // the application file existed
    DWORD processId = 0;
};

std::vector<ProcessStart> ProcessJournal();
void ClearProcessJournal();

} // namespace vtxsim
