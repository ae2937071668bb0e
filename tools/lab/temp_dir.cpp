#include "tools/lab/temp_dir.h"
#include "tools/lab/lab_error.h"

#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace lab {

TemporaryDir::TemporaryDir(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw LabError("cannot create a temporary directory in " +
                       fs::temp_directory_path().string());
    path_ = pattern;
}

TemporaryDir::~TemporaryDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

} // namespace lab
