#include "tools/lab/temp_dir.h"
#include "tools/lab/lab_error.h"

#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace lab {

TemporaryDir::TemporaryDir(const std::string& prefix)
    : TemporaryDir(prefix, fs::temp_directory_path()) {}

TemporaryDir::TemporaryDir(const std::string& prefix, const fs::path& parent) {
    std::string pattern = (parent / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw LabError("cannot create a temporary directory in " + parent.string());
    path_ = pattern;
    removed_.emplace(path_);
}

TemporaryDir::~TemporaryDir() {
    if (path_.empty())
        return;
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void TemporaryDir::Keep() {
    removed_.reset();
    path_.clear();
}

} // namespace lab
