#include "tools/lab/version_text.h"

#include "lab_commit.h" // generated at each build: VTX_COMMIT

namespace lab {

std::string VersionText() {
    return std::string("vtxlab ") + VTX_VERSION + " (commit " + VTX_COMMIT + ")";
}

} // namespace lab
