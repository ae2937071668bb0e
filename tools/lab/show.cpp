// vtxlab show and diff: the machine as it is, and what the last command changed.
#include "tools/lab/attribution.h"
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

namespace lab {
namespace {

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

} // namespace

int RunShow(const std::filesystem::path& machine, const std::string& what, bool json) {
    OpenMachine(machine);
    if (what == "registry")
        ShowRegistry(json);
    else if (what == "files")
        ShowFiles(json);
    else if (what == "journal")
        ShowJournal(json);
    else
        ShowDevices(json);
    return 0;
}

int RunDiff(const std::filesystem::path& machine, bool json) {
    OpenMachine(machine);
    std::string command;
    Snapshot before, after;
    if (!LoadLastCommand(machine, &command, &before, &after))
        throw LabError("no command has changed " + machine.string() + " yet");
    std::vector<CommandRecord> during = CommandsDuringLast(machine);
    Changes changes = Compare(WithChangesOf(before, during), after);
    if (json) {
        nlohmann::json doc = JsonDocument("diff");
        doc["of"] = command;
        doc["changes"] = ChangesJson(changes);
        doc["during"] = nlohmann::json::array();
        for (const CommandRecord& other : during)
            doc["during"].push_back({{"of", other.command},
                                     {"changes", ChangesJson(Compare(other.before, other.after))}});
        PrintJson(doc);
        return 0;
    }
    fmt::print("what \"vtxlab {}\" changed:\n", command);
    PrintChanges(changes);
    for (const CommandRecord& other : during) {
        fmt::print("while it ran, what \"vtxlab {}\" changed:\n", other.command);
        PrintChanges(Compare(other.before, other.after));
    }
    return 0;
}

} // namespace lab
