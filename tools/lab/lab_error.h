// What a user of vtxlab got wrong: an unknown serial or port, a directory that is not a machine,
// a file that cannot be read. It ends the command with one line on stderr and a non-zero exit,
// before anything is changed.
#pragma once

#include <stdexcept>

namespace lab {

class LabError : public std::runtime_error {
  public:
    // explain keeps 1 for "problems found": its bad usage exits with 2, an unreadable file 3.
    explicit LabError(const std::string& what, int exitCode = 1)
        : std::runtime_error(what), exitCode_(exitCode) {}
    int ExitCode() const { return exitCode_; }

  private:
    int exitCode_;
};

} // namespace lab
