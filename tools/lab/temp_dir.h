// A directory of vtxlab's own below the system's temporary directory, removed with everything in
// it when it goes: the copies of a machine that a dry run works on, the machine of an explain.
#pragma once

#include <filesystem>
#include <string>

namespace lab {

class TemporaryDir {
  public:
    explicit TemporaryDir(const std::string& prefix);
    ~TemporaryDir();
    TemporaryDir(const TemporaryDir&) = delete;
    TemporaryDir& operator=(const TemporaryDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

} // namespace lab
