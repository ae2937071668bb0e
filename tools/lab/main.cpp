// vtxlab: the helper and the monitor of the Draftaire USB printers on a simulated Windows 98
// machine that lasts between commands, step by step.
#include "tools/lab/cli.h"

int main(int argc, char** argv) {
    return lab::RunCommandLine(argc, argv);
}
