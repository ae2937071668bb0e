// vtxlab explain against the monitor it explains: on any set of interfaces, the ports explain
// says are listed are the ports the monitor lists, and a port opens exactly when explain says
// an interface of that name opens. Each problem's line is where the file has its key or value.
#include "generators.h"
#include "interfaces.h"
#include "loaded_monitor.h"
#include "machine_setup.h"
#include "property_check.h"

#include <nlohmann/json.hpp>

#include <stdio.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace property {
namespace {

// What vtxlab explain --json says of the machine's registry, exported as a customer would; the
// export's lines in *lines.
nlohmann::json Explain(std::vector<std::string>* lines) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("vtx-explain-" + std::to_string(getpid()) + ".reg");
    // A key every Windows 98 has: an export without any of HKEY_LOCAL_MACHINE is no machine.
    vtxsim::SetStringValue("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion", "Version",
                           "Windows 98");
    const std::string exported = vtxsim::ExportRegistry();
    std::ofstream(file, std::ios::binary) << exported;
    std::istringstream in(exported);
    for (std::string line; std::getline(in, line);)
        lines->push_back(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
    std::string command =
        std::string("'") + VTXLAB_EXE + "' explain --json '" + file.string() + "'";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;)
            out.append(chunk, n);
        pclose(pipe);
    }
    std::filesystem::remove(file);
    return nlohmann::json::parse(out);
}

TEST(ExplainProperty, ExplainsVerdictsAreTheMonitorsOnEveryInterfaceSet) {
    Check(12, [] {
        const std::vector<Interface> interfaces = *Interfaces(0, 127);
        FreshMachine({});
        InstallInterfaces(interfaces);
        std::vector<std::string> lines;
        const nlohmann::json document = Explain(&lines);
        const nlohmann::json& explained = document.at("interfaces");
        RC_ASSERT(explained.size() == interfaces.size());

        // Each listed interface's port by its folded name, and whether explain has one of that
        // name open. The names are the model's: explain's JSON gives bytes above 127 in Unicode.
        std::map<std::string, const Interface*> bySerial;
        for (const Interface& i : interfaces)
            bySerial[i.serial] = &i;
        std::map<std::string, bool> opensByName;
        for (const nlohmann::json& verdict : explained) {
            const Interface& i = *bySerial.at(verdict.at("serial").get<std::string>());
            std::optional<Port> port = PortOf(i);
            RC_ASSERT(verdict.at("listed").get<bool>() == port.has_value());
            if (port)
                opensByName[FoldAscii(port->name)] |= verdict.at("opens").get<bool>();
        }

        LoadedMonitor monitor;
        monitor.Rebuild();
        std::set<std::string> listed;
        for (const std::string& name : monitor.PortNames())
            listed.insert(FoldAscii(name));
        std::set<std::string> explainedNames;
        for (const auto& [name, opens] : opensByName)
            explainedNames.insert(name);
        RC_ASSERT(listed == explainedNames);
        for (const Interface& i : interfaces) {
            std::optional<Port> port = PortOf(i);
            if (!port)
                continue;
            std::string name = port->name;
            HANDLE handle = nullptr;
            BOOL ok = monitor.Table().pfnOpenPort(name.data(), &handle);
            RC_ASSERT((ok != FALSE) == opensByName.at(FoldAscii(name)));
            if (ok)
                monitor.Table().pfnClosePort(handle);
        }

        // A problem's line holds its value, or its key's "[...]" line when the problem is about
        // the whole key or the file lacks the value; the names are the file's (ASCII here).
        for (const nlohmann::json& problem : document.at("problems")) {
            const unsigned line = problem.at("line").get<unsigned>();
            const std::string key = problem.at("key").get<std::string>();
            const std::string value = problem.at("value").get<std::string>();
            if (line == 0)
                continue;
            RC_ASSERT(line <= lines.size());
            const std::string& at = lines[line - 1];
            if (problem.at("inFile").get<bool>() && !value.empty())
                RC_ASSERT(at.starts_with("\"" + value + "\"="));
            else
                RC_ASSERT(at == "[" + key + "]");
        }
    });
}

} // namespace
} // namespace property
