#include "tools/lab/cli.h"
#include "tools/lab/command_options.h"
#include "tools/lab/commands.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/nearest_name.h"
#include "tools/lab/version_text.h"

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace lab {
namespace {

// CLI11's messages, made one line.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n')
            c = ' ';
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

// "--machine DIR" (or "--machine=DIR") given before the command goes after it, where the
// command's own option takes it.
void MachineAfterCommand(std::vector<std::string>& args) {
    size_t i = 0;
    std::vector<std::string> machine;
    while (i < args.size() && args[i].starts_with("-")) {
        if (args[i] == "--machine" && i + 1 < args.size()) {
            machine = {args[i], args[i + 1]};
            args.erase(args.begin() + i, args.begin() + i + 2);
        } else if (args[i].starts_with("--machine=")) {
            machine = {args[i]};
            args.erase(args.begin() + i);
        } else {
            ++i;
        }
    }
    if (!machine.empty() && i < args.size())
        args.insert(args.begin() + i + 1, machine.begin(), machine.end());
    else if (!machine.empty())
        args.insert(args.begin() + i, machine.begin(), machine.end());
}

// "--jsn" of "--jsn" or "--jsn=x".
std::string OptionName(const std::string& arg) {
    return arg.substr(0, arg.find('='));
}

// ": did you mean --json?" for the first of args that is no option of the command.
std::string OptionSuggestion(const CLI::App& command, const std::vector<std::string>& args) {
    std::vector<std::string> names;
    for (const CLI::Option* option : command.get_options())
        for (const std::string& name : option->get_lnames())
            names.push_back("--" + name);
    for (const std::string& arg : args) {
        if (!arg.starts_with("--"))
            continue;
        std::string name = OptionName(arg);
        if (std::find(names.begin(), names.end(), name) != names.end())
            continue;
        std::string near = Nearest(names, name);
        return near.empty() ? "" : ": did you mean " + near + "?";
    }
    return "";
}

// In the order of vtxlab --help.
void AddCommands(CLI::App& app, ChosenCommand& chosen) {
    AddNewCommand(app, chosen);
    AddAttachCommand(app, chosen);
    AddPortsCommand(app, chosen);
    AddPrintCommand(app, chosen);
    AddDeviceCommand(app, chosen);
    AddDetachCommand(app, chosen);
    AddRestartCommand(app, chosen);
    AddShowCommand(app, chosen);
    AddDiffCommand(app, chosen);
    AddCollectCommand(app, chosen);
    AddExplainCommand(app, chosen);
    AddDemoCommand(app, chosen);
}

// Every command that has no --version of its own (the Windows version of new and demo) prints
// vtxlab's, after its own options.
void FinishCommands(CLI::App& app) {
    for (CLI::App* command : app.get_subcommands({})) {
        if (command->get_option_no_throw("--version") == nullptr)
            command->set_version_flag("--version", VersionText(),
                                      "the version and the commit built from");
    }
}

// One line on stderr, exit 2.
int BadCommandLine(CLI::App& app, const CLI::ParseError& error, const std::string& suggestion) {
    std::string where =
        app.get_subcommands().empty() ? "" : " " + app.get_subcommands().front()->get_name();
    fmt::print(stderr, "vtxlab{}: {}{} (vtxlab{} --help)\n", where, OneLine(error.what()),
               suggestion, where);
    return 2;
}

} // namespace

int RunCommandLine(int argc, char** argv) {
    CLI::App app{"vtxlab: the Draftaire printers' helper and monitor on a simulated Windows 98 "
                 "machine, step by step",
                 "vtxlab"};
    app.require_subcommand(1);
    app.set_version_flag("--version", VersionText(), "the version and the commit built from");
    app.footer("Every command but explain and demo needs --machine DIR (or VTXSIM_MACHINE; "
               "--machine wins).\n"
               "vtxlab help COMMAND (or vtxlab COMMAND --help) describes a command and its exit "
               "codes.");
    ChosenCommand chosen;
    AddCommands(app, chosen);
    FinishCommands(app);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "help")
        return RunHelp(app, args);
    const std::vector<std::string> given = args;
    MachineAfterCommand(args);
    // CLI11 would only say that a command is missing.
    if (!args.empty() && args[0].starts_with("-") && args[0] != "--help" && args[0] != "-h" &&
        args[0] != "--version") {
        fmt::print(stderr, "vtxlab: unknown option {} before the command (vtxlab --help)\n",
                   args[0]);
        return 2;
    }
    if (!args.empty() && !args[0].starts_with("-") && NearestCommand(app, args[0]) != args[0]) {
        std::string near = NearestCommand(app, args[0]);
        fmt::print(stderr, "vtxlab: unknown command \"{}\"{} (vtxlab --help)\n", args[0],
                   near.empty() ? "" : ": did you mean " + near + "?");
        return 2;
    }
    std::reverse(args.begin(), args.end()); // CLI11 takes them last first
    try {
        app.parse(args);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version);
    } catch (const CLI::ExtrasError& error) {
        std::string suggestion = app.get_subcommands().empty()
                                     ? ""
                                     : OptionSuggestion(*app.get_subcommands().front(), given);
        return BadCommandLine(app, error, suggestion);
    } catch (const CLI::ParseError& error) {
        return BadCommandLine(app, error, "");
    }
    std::string name = app.get_subcommands().front()->get_name();
    if (!MachineFromEnvironment(*app.get_subcommands().front(), chosen)) {
        fmt::print(stderr,
                   "vtxlab {}: --machine is required (or VTXSIM_MACHINE) (vtxlab {} --help)\n",
                   name, name);
        return 2;
    }
    WaitForBusyMachine(chosen.wait);
    try {
        return chosen.run();
    } catch (const LabError& error) {
        fmt::print(stderr, "vtxlab {}: {}\n", name, OneLine(error.what()));
        return error.ExitCode();
    } catch (const std::exception& error) {
        fmt::print(stderr, "vtxlab {}: {}\n", name, OneLine(error.what()));
        return 1;
    }
}

} // namespace lab
