// vtxlab's command line: the subcommands and their options.
#pragma once

namespace lab {

// Parses the command line and runs the command; returns the process exit code. Bad options
// exit with 2, what the user got wrong with 1 (or the code its LabError carries), each with one
// line on stderr.
int RunCommandLine(int argc, char** argv);

} // namespace lab
