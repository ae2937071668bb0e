#include "platform/sim/command_line.h"

namespace vtxsim {

std::string CommandLineTail(const std::string& commandLine) {
    size_t i = 0;
    if (i < commandLine.size() && commandLine[i] == '"') {
        size_t close = commandLine.find('"', 1);
        i = close == std::string::npos ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && static_cast<unsigned char>(commandLine[i]) > 0x20)
            i++;
    }
    while (i < commandLine.size() && static_cast<unsigned char>(commandLine[i]) <= 0x20)
        i++;
    return commandLine.substr(i);
}

} // namespace vtxsim
