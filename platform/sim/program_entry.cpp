#include "common/command_line_tail.h"
#include "platform/win32api.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The full command line is VTXSIM_COMMAND_LINE when set (so that a caller can give it exactly,
// spaces and all); otherwise argv joined by single spaces.
int main(int argc, char** argv) {
    std::string commandLine;
    if (const char* given = std::getenv("VTXSIM_COMMAND_LINE")) {
        commandLine = given;
    } else {
        for (int i = 0; i < argc; i++) {
            if (i > 0)
                commandLine += ' ';
            commandLine += argv[i];
        }
    }
    const char* machine = std::getenv("VTXSIM_MACHINE");
    if (machine == nullptr || *machine == '\0')
        std::fputs("vtxsim: VTXSIM_MACHINE is not set: this program runs on an empty machine in "
                   "memory, which is gone when it ends\n",
                   stderr);
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
    return WinMain(instance, nullptr, CommandLineTail(buffer.data()), SW_SHOWNORMAL);
}
