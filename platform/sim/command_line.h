// The Linux start of a Windows program: what WinMain gets as its command line.
#pragma once

#include <string>

namespace vtxsim {

// The tail of a full command line as the Windows start-up hands it to WinMain: the program
// name skipped (quoted or not), then every character of code 0x20 or below.
std::string CommandLineTail(const std::string& commandLine);

} // namespace vtxsim
