#include "support/registry_lines.h"

#include "platform/sim/control/registry_ctl.h"

#include <sstream>

namespace vtxtest {

std::set<std::string> RegistryLines() {
    std::istringstream text(vtxsim::ExportRegistry());
    std::set<std::string> lines;
    std::string line;
    std::string key;
    std::string pending;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        pending += line;
        // A long binary value goes on over lines that end in a backslash.
        if (!pending.empty() && pending.back() == '\\' && pending.front() != '[') {
            pending.pop_back();
            continue;
        }
        if (pending.starts_with("[")) {
            key = pending;
            lines.insert(key);
        } else if (!pending.empty() && !pending.starts_with("REGEDIT4")) {
            lines.insert(key + " " + pending);
        }
        pending.clear();
    }
    return lines;
}

} // namespace vtxtest
