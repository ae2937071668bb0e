// What vtxlab --version prints: the project's version and the commit it was built from.
#pragma once

#include <string>

namespace lab {

std::string VersionText();

} // namespace lab
