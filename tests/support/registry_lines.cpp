#include "support/registry_lines.h"

#include "platform/sim/control/registry_ctl.h"

namespace vtxtest {

std::set<std::string> RegistryLines() {
    std::set<std::string> lines;
    for (const vtxsim::RegistrySection& section : vtxsim::ExportRegistrySections()) {
        std::string key = "[" + section.key + "]";
        lines.insert(key);
        for (const auto& [name, data] : section.values)
            lines.insert(key + " " + name + "=" + data);
    }
    return lines;
}

} // namespace vtxtest
