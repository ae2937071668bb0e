// vtxlab diff: what the last command changed, and what other commands changed while it ran.
#include "tools/lab/attribution.h"
#include "tools/lab/command_options.h"
#include "tools/lab/commands.h"
#include "tools/lab/json_output.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/snapshot.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>

namespace lab {
namespace {

struct DiffOptions {
    std::filesystem::path machine;
    bool json = false;
};

int RunDiff(const DiffOptions& o) {
    const std::filesystem::path& machine = o.machine;
    OpenMachine(machine);
    std::string command;
    Snapshot before, after;
    if (!LoadLastCommand(machine, &command, &before, &after))
        throw LabError("no command has changed " + machine.string() + " yet");
    std::vector<CommandRecord> during = CommandsDuringLast(machine);
    Changes changes = Compare(WithChangesOf(before, during), after);
    if (o.json) {
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

} // namespace

void AddDiffCommand(CLI::App& app, ChosenCommand& chosen) {
    auto o = std::make_shared<DiffOptions>();
    CLI::App* c = app.add_subcommand("diff", "what the last command changed");
    AddMachine(c, chosen);
    c->add_flag("--json", o->json, "as one JSON document");
    c->footer(ExitCodesFooter("0 shown; 1 not a machine, or no command has changed it yet"));
    RunOnMachine(c, chosen, o, RunDiff);
}

} // namespace lab
