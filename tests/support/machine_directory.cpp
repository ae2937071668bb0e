#include "support/machine_directory.h"

#include "platform/sim/control/machine_ctl.h"

#include <stdlib.h>

#include <stdexcept>
#include <string>
#include <system_error>

namespace vtxtest {

namespace {

std::filesystem::path NewDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vtx-machine-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a machine directory from " + pattern);
    return pattern;
}

} // namespace

MachineDirectory::MachineDirectory() : dir_(NewDirectory()) {
    vtxsim::UseMachine(dir_);
}

MachineDirectory::~MachineDirectory() {
    vtxsim::UseMachine({});
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

} // namespace vtxtest
