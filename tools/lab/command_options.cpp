#include "tools/lab/command_options.h"

#include <cctype>
#include <cstdlib>
#include <map>

namespace lab {
namespace {

const std::map<std::string, vtxsim::WindowsVersion> kVersions = {
    {"95", vtxsim::WindowsVersion::Win95},
    {"98", vtxsim::WindowsVersion::Win98},
    {"me", vtxsim::WindowsVersion::WinMe},
    {"nt4", vtxsim::WindowsVersion::WinNt4},
    {"2000", vtxsim::WindowsVersion::Win2000}};

// An empty directory name would be the current directory, which is not what was meant.
CLI::Validator NonEmpty() {
    return CLI::Validator(
        [](const std::string& text) {
            return text.empty() ? std::string("the machine directory is empty") : std::string();
        },
        "DIR");
}

// Every command on a kept machine takes it from VTXSIM_MACHINE too, when --machine is not given
// (MachineFromEnvironment): CLI11's own reading of the variable let it win over the option. The
// demo makes its own unless given one, so that an exported VTXSIM_MACHINE does not send it to a
// kept machine.
const char* const kMachineOption = "--machine";

} // namespace

void AddMachine(CLI::App* command, ChosenCommand& chosen) {
    command
        ->add_option(kMachineOption, chosen.machine,
                     "the machine directory (required; without it VTXSIM_MACHINE's)")
        ->check(NonEmpty());
}

bool MachineFromEnvironment(CLI::App& command, ChosenCommand& chosen) {
    const CLI::Option* option = command.get_option_no_throw(kMachineOption);
    if (command.get_name() == "demo" || option == nullptr || option->count() > 0)
        return true;
    const char* variable = std::getenv("VTXSIM_MACHINE");
    if (variable == nullptr || *variable == '\0')
        return false;
    chosen.machine = variable;
    return true;
}

void AddWait(CLI::App* command, ChosenCommand& chosen) {
    command->add_flag("--wait", chosen.wait,
                      "if another vtxlab is using the machine, wait for it instead of refusing");
}

void AddVersionAndShell(CLI::App* command, WindowsOptions& windows) {
    command
        ->add_option("--version", windows.version,
                     "the Windows version the machine reports (default 98)")
        ->check(CLI::IsMember({"95", "98", "me", "nt4", "2000"}, CLI::ignore_case));
    command->add_flag("--no-shell", windows.noShell,
                      "no shell runs: the helper queues the setup in RunOnce");
}

vtxsim::WindowsVersion VersionOf(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return kVersions.at(text);
}

std::string ExitCodesFooter(const std::string& codes) {
    return "Exit codes: " + codes +
           (codes.find("; 2 ") == std::string::npos ? "; 2 a bad command line" : "") +
           "; 128+N interrupted by signal N.";
}

} // namespace lab
