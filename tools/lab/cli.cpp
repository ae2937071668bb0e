#include "tools/lab/cli.h"
#include "tools/lab/commands.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/version_text.h"

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>

namespace lab {
namespace {

const std::map<std::string, sim::WindowsVersion> kVersions = {
    {"95", sim::WindowsVersion::Win95},
    {"98", sim::WindowsVersion::Win98},
    {"me", sim::WindowsVersion::WinMe},
    {"nt4", sim::WindowsVersion::WinNt4},
    {"2000", sim::WindowsVersion::Win2000}};

struct Parsed {
    std::filesystem::path machine;
    std::string version = "98";
    bool noShell = false;
    std::string order = "creation";
    NewOptions newMachine;
    AttachOptions attach;
    unsigned level = 2;
    PrintOptions print;
    DeviceOptions device;
    std::string serial;
    bool dryRun = false;
    std::string what;
    bool json = false;
    bool wait = false;
    ExplainOptions explain;
    CollectOptions collect;
    DemoOptions demo;
};

// Each command's exit codes, the last part of its --help (and so of the man page).
const std::map<std::string, std::string> kExitCodes = {
    {"new", "0 the machine is made; 1 refused (the directory, or an export that cannot be "
            "read), nothing changed"},
    {"attach", "0 attached (warnings on stderr); 1 refused (not a machine, a model without a "
               "model key and no --product-id, the serial of another model), nothing changed"},
    {"ports", "0 listed; 1 not a machine"},
    {"print", "0 printed (and, with --verify, the same bytes received); 1 the job failed or "
              "timed out, --verify found a difference, or refused (not a machine, no such "
              "port, a file that cannot be read)"},
    {"device", "0 changed; 1 refused (not a machine, no printer of that serial)"},
    {"detach", "0 removed (or, with --dry-run, shown); 1 refused (not a machine, no printer of "
               "that serial)"},
    {"restart", "0 restarted; 1 not a machine"},
    {"show", "0 shown; 1 not a machine"},
    {"diff", "0 shown; 1 not a machine, or no command has changed it yet"},
    {"collect", "0 the report written; 1 not a machine, the collector failed, or the report "
                "could not be written"},
    {"explain", "0 no problem found, or no Draftaire software installed; 1 problems found; "
                "2 a bad command line or an unknown --serial; 3 the file is no whole registry "
                "export or collector's report (cannot be read, empty, not an export, no "
                "HKEY_LOCAL_MACHINE, cut short): ask the customer for the whole file"},
    {"demo", "0 every step did what it should; 1 a step did not, or refused (--machine)"},
};

std::string ExitCodesFooter(const std::string& command) {
    const std::string& codes = kExitCodes.at(command);
    return "Exit codes: " + codes +
           (codes.find("; 2 ") == std::string::npos ? "; 2 a bad command line" : "") +
           "; 128+N interrupted by signal N.";
}

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

void AddMachine(CLI::App* command, Parsed& p) {
    command
        ->add_option(kMachineOption, p.machine,
                     "the machine directory (required; without it VTXSIM_MACHINE's)")
        ->check(NonEmpty());
}

// false when the command needs a machine and neither --machine nor VTXSIM_MACHINE names one.
bool MachineFromEnvironment(CLI::App& command, Parsed& p) {
    const CLI::Option* option = command.get_option_no_throw(kMachineOption);
    if (command.get_name() == "demo" || option == nullptr || option->count() > 0)
        return true;
    const char* variable = std::getenv("VTXSIM_MACHINE");
    if (variable == nullptr || *variable == '\0')
        return false;
    p.machine = variable;
    return true;
}

// The commands that change a machine: one finding it busy waits with --wait.
void AddWait(CLI::App* command, Parsed& p) {
    command->add_flag("--wait", p.wait,
                      "if another vtxlab is using the machine, wait for it instead of refusing");
}

void AddVersionAndShell(CLI::App* command, Parsed& p) {
    command
        ->add_option("--version", p.version, "the Windows version the machine reports (default 98)")
        ->check(CLI::IsMember({"95", "98", "me", "nt4", "2000"}, CLI::ignore_case));
    command->add_flag("--no-shell", p.noShell,
                      "no shell runs: the helper queues the setup in RunOnce");
}

sim::WindowsVersion VersionOf(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return kVersions.at(text);
}

// The serial's device options: exactly one change.
void AddDevice(CLI::App& app, Parsed& p, std::function<int()>& run) {
    CLI::App* c = app.add_subcommand("device", "change a printer: paper, online, stall, cable");
    AddMachine(c, p);
    c->add_option("--serial", p.device.serial, "the printer's serial number")->required();
    auto* paper =
        c->add_option("--paper", p.device.paper, "out or in")->check(CLI::IsMember({"out", "in"}));
    auto* offline = c->add_flag("--offline", p.device.offline, "the printer goes offline");
    auto* online = c->add_flag("--online", p.device.online, "the printer is online again");
    auto* stall =
        c->add_option("--stall", p.device.stall, "the printer takes N more bytes, then nothing");
    auto* unplug = c->add_flag("--unplug", p.device.unplug, "pull the cable");
    auto* plug = c->add_flag("--plug", p.device.plug, "plug the cable in again");
    std::vector<CLI::Option*> changes = {paper, offline, online, stall, unplug, plug};
    for (CLI::Option* a : changes)
        for (CLI::Option* b : changes)
            if (a != b)
                a->excludes(b);
    c->callback([&, changes] {
        if (std::none_of(changes.begin(), changes.end(), [](CLI::Option* o) { return o->count(); }))
            throw CLI::ValidationError("give one of --paper, --offline, --online, --stall, "
                                       "--unplug, --plug");
        run = [&] {
            p.device.machine = p.machine;
            return RunDevice(p.device);
        };
    });
}

void AddCommands(CLI::App& app, Parsed& p, std::function<int()>& run) {
    CLI::App* c = app.add_subcommand("new", "make a fresh machine");
    AddMachine(c, p);
    AddWait(c, p);
    AddVersionAndShell(c, p);
    c->add_option("--from", p.newMachine.from, "start from a REGEDIT4 export");
    c->add_flag("--force", p.newMachine.force, "start an existing vtxlab machine anew");
    c->add_option("--order", p.order,
                  "how the registry enumerates subkeys and values: creation (the default) or "
                  "sorted (Wine's)")
        ->check(CLI::IsMember({"creation", "sorted"}));
    c->callback([&] {
        run = [&] {
            p.newMachine.machine = p.machine;
            p.newMachine.sortedOrder = p.order == "sorted";
            p.newMachine.version = VersionOf(p.version);
            p.newMachine.shell = !p.noShell;
            return RunNew(p.newMachine);
        };
    });

    c = app.add_subcommand("attach", "plug in a printer after the maker's driver installation");
    AddMachine(c, p);
    AddWait(c, p);
    c->add_option("--model", p.attach.model, "the model, as \"Draftaire K9\"")->required();
    c->add_option("--serial", p.attach.serial, "the serial number")->required();
    c->add_option("--product-id", p.attach.productId, "USB product id, 4 hex digits");
    c->add_flag("--json", p.attach.json, "as one JSON document");
    c->callback([&] {
        run = [&] {
            p.attach.machine = p.machine;
            return RunAttach(p.attach);
        };
    });

    c = app.add_subcommand("ports", "the spooler loads the monitor and lists EnumPorts");
    AddMachine(c, p);
    c->add_option("--level", p.level, "1 or 2 (default 2)")->check(CLI::IsMember({1u, 2u}));
    c->add_flag("--json", p.json, "as one JSON document");
    c->callback([&] { run = [&] { return RunPorts(p.machine, p.level, p.json); }; });

    c = app.add_subcommand("print", "send a file to a port as a print job");
    AddMachine(c, p);
    AddWait(c, p);
    c->add_option("--port", p.print.port, "the port, as \"USB/Draftaire K9/AB12\"")->required();
    c->add_option("file", p.print.file, "the file to print")->required();
    c->add_option("--chunk", p.print.chunk, "bytes per WritePort (default 4096)")
        ->check(CLI::Range(1u, 1u << 20));
    c->add_option("--timeout", p.print.timeout,
                  "seconds a stalled printer may take nothing before the job ends (default 60, "
                  "0: wait for ever)")
        ->check(CLI::Range(0.0, 1e6));
    c->add_flag("--verify", p.print.verify, "compare what the printer received with the file");
    c->add_flag("--json", p.print.json, "as one JSON document");
    c->callback([&] {
        run = [&] {
            p.print.machine = p.machine;
            return RunPrint(p.print);
        };
    });

    AddDevice(app, p, run);

    c = app.add_subcommand("detach", "the printer goes away; the helper removes it");
    AddMachine(c, p);
    AddWait(c, p);
    c->add_option("--serial", p.serial, "the printer's serial number")->required();
    c->add_flag("--dry-run", p.dryRun, "show what would be deleted, change nothing");
    c->add_flag("--json", p.json, "as one JSON document");
    c->callback([&] { run = [&] { return RunDetach(p.machine, p.serial, p.dryRun, p.json); }; });

    c = app.add_subcommand("restart", "carry out wininit.ini's RENAME section and RunOnce");
    AddMachine(c, p);
    AddWait(c, p);
    c->callback([&] { run = [&] { return RunRestart(p.machine); }; });

    c = app.add_subcommand("show", "the machine: registry, files, journal or devices");
    AddMachine(c, p);
    c->add_option("what", p.what, "registry, files, journal or devices")
        ->required()
        ->check(CLI::IsMember({"registry", "files", "journal", "devices"}));
    c->add_flag("--json", p.json, "as one JSON document");
    c->callback([&] { run = [&] { return RunShow(p.machine, p.what, p.json); }; });

    c = app.add_subcommand("diff", "what the last command changed");
    AddMachine(c, p);
    c->add_flag("--json", p.json, "as one JSON document");
    c->callback([&] { run = [&] { return RunDiff(p.machine, p.json); }; });

    c = app.add_subcommand("collect", "run the field collector, vtxdiag, on the machine");
    AddMachine(c, p);
    AddWait(c, p);
    c->add_option("--out", p.collect.out, "write the report to FILE instead of stdout");
    c->callback([&] {
        run = [&] {
            p.collect.machine = p.machine;
            return RunCollect(p.collect);
        };
    });

    c = app.add_subcommand("explain", "diagnose a registry exported from a Windows 98 or ME "
                                      "machine, or the field collector's report");
    c->add_option("file", p.explain.file, "the REGEDIT4 export or VTXDIAG.TXT")->required();
    c->add_option("--serial", p.explain.serial, "also what an attach and a removal would do");
    c->add_flag("--json", p.explain.json, "as one JSON document");
    c->callback([&] { run = [&] { return RunExplain(p.explain); }; });

    c = app.add_subcommand("demo", "two printers of one model and one of another, narrated");
    // Its own variable: CLI11 fills the other commands' --machine from VTXSIM_MACHINE.
    c->add_option("--machine", p.demo.machine, "keep the machine in DIR");
    AddVersionAndShell(c, p);
    AddWait(c, p);
    c->add_flag("--force", p.demo.force, "start an existing vtxlab machine anew");
    c->callback([&] {
        run = [&] {
            p.demo.version = VersionOf(p.version);
            p.demo.shell = !p.noShell;
            return RunDemo(p.demo);
        };
    });
}

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

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The name within two edits of a typo, if there is one.
std::string Nearest(const std::vector<std::string>& names, const std::string& typo) {
    std::string best;
    size_t bestDistance = 3;
    for (const std::string& name : names) {
        size_t distance = EditDistance(typo, name);
        if (distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    return best;
}

std::string NearestCommand(CLI::App& app, const std::string& typo) {
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands({}))
        names.push_back(command->get_name());
    return Nearest(names, typo);
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

// Each command's help ends with its exit codes; every command that has no --version of its own
// (the Windows version of new and demo) prints vtxlab's.
void FinishCommands(CLI::App& app) {
    for (CLI::App* command : app.get_subcommands({})) {
        command->footer(ExitCodesFooter(command->get_name()));
        if (command->get_option_no_throw("--version") == nullptr)
            command->set_version_flag("--version", VersionText(),
                                      "the version and the commit built from");
    }
}

// vtxlab help [COMMAND]: what --help gives.
int PrintHelp(CLI::App& app, const std::vector<std::string>& args) {
    if (args.size() < 2) {
        fmt::print("{}", app.help());
        return 0;
    }
    CLI::App* command = nullptr;
    for (CLI::App* c : app.get_subcommands({}))
        if (c->get_name() == args[1])
            command = c;
    if (command == nullptr || args.size() > 2) {
        std::string near = args.size() > 2 ? "" : NearestCommand(app, args[1]);
        fmt::print(stderr, "vtxlab help: {} (vtxlab --help)\n",
                   args.size() > 2 ? "give one command"
                                   : "unknown command \"" + args[1] + "\"" +
                                         (near.empty() ? "" : ": did you mean " + near + "?"));
        return 2;
    }
    fmt::print("{}", command->help("vtxlab"));
    return 0;
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
    Parsed parsed;
    std::function<int()> run;
    AddCommands(app, parsed, run);
    FinishCommands(app);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "help")
        return PrintHelp(app, args);
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
    if (!MachineFromEnvironment(*app.get_subcommands().front(), parsed)) {
        fmt::print(stderr,
                   "vtxlab {}: --machine is required (or VTXSIM_MACHINE) (vtxlab {} --help)\n",
                   name, name);
        return 2;
    }
    WaitForBusyMachine(parsed.wait);
    try {
        return run();
    } catch (const LabError& error) {
        fmt::print(stderr, "vtxlab {}: {}\n", name, OneLine(error.what()));
        return error.ExitCode();
    } catch (const std::exception& error) {
        fmt::print(stderr, "vtxlab {}: {}\n", name, OneLine(error.what()));
        return 1;
    }
}

} // namespace lab
