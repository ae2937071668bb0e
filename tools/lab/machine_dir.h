// A vtxlab machine: a simulator machine directory that vtxlab made, known by its marker file,
// with vtxlab's own state in its "vtxlab" subdirectory and a lock that keeps two commands that
// change the machine from running at once.
#pragma once

#include <filesystem>
#include <string>

namespace lab {

bool IsLabMachine(const std::filesystem::path& dir);
// vtxlab's own files of the machine (lock, the last command's snapshots).
std::filesystem::path LabStateDir(const std::filesystem::path& dir);

// `new`: refuses a directory that holds anything but a vtxlab machine, and a vtxlab machine
// unless force; then makes it a vtxlab machine directory (marker and state directory).
void PrepareMachineDir(const std::filesystem::path& dir, bool force);
// Then, under the command lock: the simulator switched to the directory and its machine made
// empty. Of an old machine only what the simulator and vtxlab keep there is deleted.
void EmptyMachine(const std::filesystem::path& dir);
// Every other command: the directory must be a vtxlab machine; switches the simulator to it.
void OpenMachine(const std::filesystem::path& dir);

// Held by a command that changes the machine. Another vtxlab holding it is an error naming
// that command and its process.
class CommandLock {
  public:
    CommandLock(const std::filesystem::path& dir, const std::string& command);
    ~CommandLock();
    CommandLock(const CommandLock&) = delete;
    CommandLock& operator=(const CommandLock&) = delete;

  private:
    int fd_ = -1;
};

} // namespace lab
