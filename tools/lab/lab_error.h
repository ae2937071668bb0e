// What a user of vtxlab got wrong: an unknown serial or port, a directory that is not a machine,
// a file that cannot be read. It ends the command with one line on stderr and a non-zero exit,
// before anything is changed.
#pragma once

#include <stdexcept>

namespace lab {

class LabError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace lab
