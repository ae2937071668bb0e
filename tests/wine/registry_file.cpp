// vtxregfile: writes the registry of the machine in VTXSIM_MACHINE to its "registry.reg", so
// that the Wine tests can read what a host program left in a machine directory.
#include "platform/sim/test/registry_ctl.h"

#include <cstdio>
#include <cstdlib>

int main() {
    const char* machine = std::getenv("VTXSIM_MACHINE");
    if (machine == nullptr || *machine == '\0') {
        std::fprintf(stderr, "vtxregfile: VTXSIM_MACHINE names no machine directory\n");
        return 2;
    }
    vtxsim::WriteRegistryFile();
    return 0;
}
