// A machine directory of a test's own, for what must be seen by another process of the machine
// (a helper started as its own process, a forked child) or must outlive a switch of machines.
#pragma once

#include <filesystem>

namespace vtxtest {

// A new empty directory below the temporary directory, switched to for this process while the
// object lives; afterwards this process is on a fresh machine in memory and the directory is
// removed.
class MachineDirectory {
  public:
    MachineDirectory();
    ~MachineDirectory();
    MachineDirectory(const MachineDirectory&) = delete;
    MachineDirectory& operator=(const MachineDirectory&) = delete;

    const std::filesystem::path& Path() const { return dir_; }

  private:
    std::filesystem::path dir_;
};

} // namespace vtxtest
