// The name a typo was meant to be, for "did you mean" on a bad command line.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace lab {

// The name within two edits of typo, if there is one; empty otherwise.
std::string Nearest(const std::vector<std::string>& names, const std::string& typo);
// The same among app's commands.
std::string NearestCommand(CLI::App& app, const std::string& typo);

} // namespace lab
