// vtxlab: the helper and the monitor of the Draftaire USB printers on a simulated Windows 98
// machine that lasts between commands, step by step.
#include "tools/lab/cli.h"
#include "tools/lab/interrupt.h"

int main(int argc, char** argv) {
    lab::RemoveTemporariesOnInterrupt();
    return lab::RunCommandLine(argc, argv);
}
