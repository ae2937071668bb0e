#include "tools/lab/machine_layout.h"

#include <system_error>

namespace fs = std::filesystem;

namespace lab {

fs::path MarkerFile(const fs::path& dir) {
    return dir / "vtxlab-machine";
}

bool IsLabMachine(const fs::path& dir) {
    std::error_code ec;
    return fs::is_regular_file(MarkerFile(dir), ec);
}

fs::path LabStateDir(const fs::path& dir) {
    return dir / "vtxlab";
}

} // namespace lab
