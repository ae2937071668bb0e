// The lab's commands, each a step a person takes on a machine directory that lasts between
// commands. Each lives in commands/, named for it, with its options; adding it to the command
// line sets chosen.run once the line has chosen it, to run it and return the process exit code.
// What the user got wrong throws LabError.
#pragma once

#include "tools/lab/command_options.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace lab {

void AddNewCommand(CLI::App& app, ChosenCommand& chosen);
void AddAttachCommand(CLI::App& app, ChosenCommand& chosen);
void AddPortsCommand(CLI::App& app, ChosenCommand& chosen);
void AddPrintCommand(CLI::App& app, ChosenCommand& chosen);
void AddDeviceCommand(CLI::App& app, ChosenCommand& chosen);
void AddDetachCommand(CLI::App& app, ChosenCommand& chosen);
void AddRestartCommand(CLI::App& app, ChosenCommand& chosen);
void AddShowCommand(CLI::App& app, ChosenCommand& chosen);
void AddDiffCommand(CLI::App& app, ChosenCommand& chosen);
void AddCollectCommand(CLI::App& app, ChosenCommand& chosen);
void AddExplainCommand(CLI::App& app, ChosenCommand& chosen);
void AddDemoCommand(CLI::App& app, ChosenCommand& chosen);

// vtxlab help [COMMAND]: what --help gives; 2 for an unknown command.
int RunHelp(CLI::App& app, const std::vector<std::string>& args);

} // namespace lab
