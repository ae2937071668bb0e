// vtxlab: a Draftaire printer's life on a simulated Windows 98 machine, with the real helper
// program and the real monitor library.
#include "tools/lab/scenario.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void Usage() {
    std::puts("usage: vtxlab [--machine DIR] [--version 98|me] [--no-shell] [--dump-registry]\n"
              "  --machine DIR     keep the simulated machine in DIR (default: a temporary one)\n"
              "  --version 98|me   the Windows version the machine reports (default 98)\n"
              "  --no-shell        the shell is not running: the setup is queued in RunOnce\n"
              "  --dump-registry   print the whole registry at the end");
}

bool Parse(int argc, char** argv, lab::Options& options) {
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--machine" && i + 1 < argc) {
            options.machineDir = argv[++i];
        } else if (arg == "--version" && i + 1 < argc) {
            std::string version = argv[++i];
            if (version == "98")
                options.version = sim::WindowsVersion::Win98;
            else if (version == "me" || version == "ME")
                options.version = sim::WindowsVersion::WinMe;
            else
                return false;
        } else if (arg == "--no-shell") {
            options.shellRunning = false;
        } else if (arg == "--dump-registry") {
            options.dumpRegistry = true;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Usage();
        return 0;
    }
    lab::Options options;
    options.helperExe = VTX_HELPER_EXE;
    options.monitorDir = VTX_MONITOR_DIR;
    if (!Parse(argc, argv, options)) {
        Usage();
        return 2;
    }
    return lab::RunScenario(options);
}
