// Control: restarting the simulated machine, as far as the files and programs it touches.
#pragma once

#include <string>
#include <vector>

namespace vtxsim {

enum class RestartStepKind {
    Moved,          // a RENAME entry "<path>=<source>": source moved over path
    Deleted,        // a RENAME entry "NUL=<path>": path deleted
    Skipped,        // a RENAME entry that could not be carried out; detail says why
    SectionRemoved, // wininit.ini renamed to wininit.bak
    RunOnce,        // a RunOnce value: its command line (source) started and the value removed
};

struct RestartStep {
    RestartStepKind kind = RestartStepKind::Skipped;
    std::string path;   // destination, deleted file, wininit.ini, or the RunOnce value's name
    std::string source; // moved file, or the RunOnce command line
    std::string detail;
};

// What Windows 98 does between shutting down and the shell's start: WININIT carries out the
// "RENAME" section of C:\Windows\wininit.ini in order and renames the file to wininit.bak;
// then each value of HKLM "Software\Microsoft\Windows\CurrentVersion\RunOnce" is started
// (a record in the process journal) and deleted. Returns the steps in order.
std::vector<RestartStep> RestartMachine();
std::string Describe(const RestartStep& step);

} // namespace vtxsim
