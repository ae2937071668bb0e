// A directory of vtxlab's own below the system's temporary directory, removed with everything in
// it when it goes or when the user interrupts vtxlab: the copies of a machine that a dry run
// works on, the machine of an explain, a machine being made.
#pragma once

#include "tools/lab/interrupt.h"

#include <filesystem>
#include <optional>
#include <string>

namespace lab {

class TemporaryDir {
  public:
    explicit TemporaryDir(const std::string& prefix);
    // In parent instead, so that it can become a directory there by a rename.
    TemporaryDir(const std::string& prefix, const std::filesystem::path& parent);
    ~TemporaryDir();
    TemporaryDir(const TemporaryDir&) = delete;
    TemporaryDir& operator=(const TemporaryDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    // It has become what it was made for, under another name: nothing is removed.
    void Keep();

  private:
    std::filesystem::path path_;
    std::optional<RemovedOnInterrupt> removed_;
};

} // namespace lab
