// What vtxlab --version prints: the project's version and the commit it was built from.
#pragma once

#include <string>

namespace lab {

std::string VersionText();
// The FileVersion this release's images carry: the project's version with a fourth part, 0.
std::string ReleaseFileVersion();

} // namespace lab
