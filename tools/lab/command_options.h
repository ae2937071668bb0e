// What the commands' command lines share: the machine directory, --wait, a new machine's Windows
// version and shell, the exit codes at the end of each --help; and the command the line chose.
#pragma once

#include "platform/sim/control/kernel_ctl.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace lab {

// Filled while the command line is read.
struct ChosenCommand {
    std::filesystem::path machine; // --machine, or VTXSIM_MACHINE's once the line is read
    bool wait = false;             // --wait
    std::function<int()> run;      // the command with its options, set once they are read
};

void AddMachine(CLI::App* command, ChosenCommand& chosen);
// Once the line is read: false when command needs a machine and neither --machine nor
// VTXSIM_MACHINE names one.
bool MachineFromEnvironment(CLI::App& command, ChosenCommand& chosen);
// The commands that change a machine: one finding it busy waits with --wait.
void AddWait(CLI::App* command, ChosenCommand& chosen);

// Once the line has chosen command: chosen.run runs it with options, which take the line's
// machine. The options live as long as the command's callback, which CLI11 keeps with it.
template <class Options>
void RunOnMachine(CLI::App* command, ChosenCommand& chosen, std::shared_ptr<Options> options,
                  int (*run)(const Options&)) {
    command->callback([options, run, &chosen] {
        chosen.run = [options, run, &chosen] {
            options->machine = chosen.machine;
            return run(*options);
        };
    });
}

// new and demo: the machine's Windows version and whether a shell runs.
struct WindowsOptions {
    std::string version = "98";
    bool noShell = false;
};
void AddVersionAndShell(CLI::App* command, WindowsOptions& windows);
vtxsim::WindowsVersion VersionOf(std::string text);

// The last part of a command's --help (and so of the man page): "Exit codes: " and codes, the
// bad command line's 2 unless codes name a 2 of their own, and the signals'.
std::string ExitCodesFooter(const std::string& codes);

} // namespace lab
