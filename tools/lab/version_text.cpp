#include "tools/lab/version_text.h"

#include "lab_commit.h" // generated at each build: VTX_COMMIT

namespace lab {

std::string VersionText() {
    return std::string("vtxlab ") + VTX_VERSION + " (commit " + VTX_COMMIT + ")";
}

std::string ReleaseFileVersion() {
    return std::string(VTX_VERSION) + ".0";
}

} // namespace lab
