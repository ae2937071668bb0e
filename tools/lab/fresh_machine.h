// A fresh vtxlab machine in a directory, made whole or not at all: it is built in a temporary
// directory beside the target and takes its place at the end, so that an interrupted or failed
// `new` leaves no directory marked as a machine, and an old machine stays as it was.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace lab {

// setUp runs on the new machine (the simulator switched to it) before it takes dir's place;
// what it throws leaves dir as it was. Over an old machine (force) only what vtxlab made there
// is deleted; what the user put there stays. Ends with the simulator switched to dir.
void MakeFreshMachine(const std::filesystem::path& dir, bool force, const std::string& command,
                      const std::function<void()>& setUp);

} // namespace lab
