// vtxlab help [COMMAND]: the tool's --help, or a command's.
#include "tools/lab/commands.h"
#include "tools/lab/nearest_name.h"

#include <fmt/format.h>

namespace lab {

int RunHelp(CLI::App& app, const std::vector<std::string>& args) {
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

} // namespace lab
