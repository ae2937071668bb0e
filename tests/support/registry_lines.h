// The machine's registry as a set of lines, each value line prefixed by its key, so that what
// one state holds and another lacks can be named, whatever order the keys were made in.
#pragma once

#include <set>
#include <string>

namespace vtxtest {

std::set<std::string> RegistryLines();

} // namespace vtxtest
