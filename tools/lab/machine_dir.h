// A vtxlab machine: a simulator machine directory that vtxlab made, known by its marker file,
// with vtxlab's own state in its "vtxlab" subdirectory and a lock that keeps two commands that
// change the machine from running at once.
#pragma once

#include "tools/lab/made_files.h"

#include <filesystem>
#include <optional>
#include <string>

namespace lab {

// `new` and the demo: refuses a directory that holds anything but a vtxlab machine, a vtxlab
// machine unless force, and one that keeps no list of what vtxlab made. Changes nothing.
void CheckNewMachineDir(const std::filesystem::path& dir, bool force);
// Makes dir (which exists) a vtxlab machine directory: marker and state directory.
void MarkAsMachine(const std::filesystem::path& dir);
// Every other command: the directory must be a vtxlab machine; switches the simulator to it.
void OpenMachine(const std::filesystem::path& dir);

// Held by a command that changes the machine. Another vtxlab holding it is an error naming
// that command and its process, or, after WaitForBusyMachine(true) (--wait), a line on stderr
// saying so and a wait until that command has finished.
void WaitForBusyMachine(bool wait);

class CommandLock {
  public:
    CommandLock(const std::filesystem::path& dir, const std::string& command);
    ~CommandLock();
    CommandLock(const CommandLock&) = delete;
    CommandLock& operator=(const CommandLock&) = delete;

  private:
    void WriteHolder(const std::string& command);
    int fd_ = -1;
    std::optional<MadeFilesRecorder> made_;
};

} // namespace lab
