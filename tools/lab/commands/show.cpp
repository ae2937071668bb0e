// vtxlab show: the machine as it is: registry, files, journal or devices.
#include "tools/lab/command_options.h"
#include "tools/lab/commands.h"
#include "tools/lab/json_output.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/printer_words.h"
#include "tools/lab/shown_text.h"
#include "tools/lab/snapshot.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace lab {
namespace {

struct ShowOptions {
    std::filesystem::path machine;
    std::string what; // registry, files, journal or devices
    bool json = false;
};

// {"version": 1, "command": "show", "what": "registry", "registry": [...]}
void PrintShown(const std::string& what, const nlohmann::json& list) {
    nlohmann::json doc = JsonDocument("show");
    doc["what"] = what;
    doc[what] = list;
    PrintJson(doc);
}

void ShowRegistry(bool json) {
    if (!json) {
        fmt::print("{}", vtxsim::ExportRegistry());
        return;
    }
    nlohmann::json keys = nlohmann::json::array();
    for (const vtxsim::RegistrySection& section : vtxsim::ExportRegistrySections()) {
        nlohmann::json values = nlohmann::json::object();
        for (const auto& [name, data] : section.values)
            values[name] = data;
        keys.push_back({{"key", section.key}, {"values", values}});
    }
    PrintShown("registry", keys);
}

void ShowFiles(bool json) {
    nlohmann::json files = nlohmann::json::array();
    // A directory's entries right after it: sorted by components, not by characters.
    std::vector<std::string> paths = vtxsim::FileTree();
    auto byComponents = [](std::string path) {
        std::replace(path.begin(), path.end(), '\\', '\x01');
        return path;
    };
    std::sort(paths.begin(), paths.end(), [&](const std::string& a, const std::string& b) {
        return byComponents(a) < byComponents(b);
    });
    if (!json)
        fmt::print("C:\\\n");
    for (const std::string& path : paths) {
        bool directory = std::filesystem::is_directory(vtxsim::HostPath(path));
        std::size_t size = directory ? 0 : vtxsim::GetFileContents(path).value_or("").size();
        if (json) {
            files.push_back({{"path", path}, {"directory", directory}, {"size", size}});
            continue;
        }
        size_t depth = std::count(path.begin(), path.end(), '\\');
        std::string name = path.substr(path.rfind('\\') + 1);
        if (depth == 1 && name.empty())
            continue;
        fmt::print("{}{}{}\n", std::string(2 * depth, ' '), depth == 0 ? path : name,
                   directory ? "\\" : fmt::format("  ({} bytes)", size));
    }
    if (json)
        PrintShown("files", files);
}

void ShowJournal(bool json) {
    nlohmann::json starts = nlohmann::json::array();
    for (const vtxsim::ProcessStart& start : vtxsim::ProcessJournal()) {
        if (json) {
            starts.push_back({{"source", start.source},
                              {"application", start.application},
                              {"commandLine", start.commandLine},
                              {"currentDirectory", start.currentDirectory},
                              {"started", start.started}});
        } else {
            fmt::print("{}: {}\"{}\"{}{}\n", start.source,
                       start.application.empty() ? "" : start.application + " ", start.commandLine,
                       start.currentDirectory.empty() ? "" : " in " + start.currentDirectory,
                       start.started ? "" : " (no such file: not started)");
        }
    }
    if (json)
        PrintShown("journal", starts);
    else if (vtxsim::ProcessJournal().empty())
        fmt::print("no program was started\n");
}

void ShowDevices(bool json) {
    nlohmann::json printers = nlohmann::json::array();
    std::vector<vtxsim::PrinterState> states = vtxsim::SimulatedPrinters();
    std::sort(states.begin(), states.end(),
              [](const auto& a, const auto& b) { return a.instance < b.instance; });
    if (!json)
        fmt::print("{}\n", MachineWords());
    for (const vtxsim::PrinterState& printer : states) {
        if (json)
            printers.push_back(PrinterJson(printer));
        else
            fmt::print("{}  {}\n  {}\n", Shown(SerialOf(printer.instance)), printer.instance,
                       DescribePrinter(printer));
    }
    if (json)
        PrintShown("devices", printers);
    else if (states.empty())
        fmt::print("no printer\n");
}

int RunShow(const ShowOptions& o) {
    OpenMachine(o.machine);
    if (o.what == "registry")
        ShowRegistry(o.json);
    else if (o.what == "files")
        ShowFiles(o.json);
    else if (o.what == "journal")
        ShowJournal(o.json);
    else
        ShowDevices(o.json);
    return 0;
}

} // namespace

void AddShowCommand(CLI::App& app, ChosenCommand& chosen) {
    auto o = std::make_shared<ShowOptions>();
    CLI::App* c = app.add_subcommand("show", "the machine: registry, files, journal or devices");
    AddMachine(c, chosen);
    c->add_option("what", o->what, "registry, files, journal or devices")
        ->required()
        ->check(CLI::IsMember({"registry", "files", "journal", "devices"}));
    c->add_flag("--json", o->json, "as one JSON document");
    c->footer(ExitCodesFooter("0 shown; 1 not a machine"));
    RunOnMachine(c, chosen, o, RunShow);
}

} // namespace lab
