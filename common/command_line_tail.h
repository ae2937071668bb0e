// The command line tail: what WinMain gets of the program's full command line, on Windows and
// on the simulated machine alike.
#ifndef VTX_COMMON_COMMAND_LINE_TAIL_H
#define VTX_COMMON_COMMAND_LINE_TAIL_H

#include "platform/win32api.h"

// The tail of a full command line as the C runtime's start-up hands it to WinMain: the program
// name skipped (quoted or not), then every character of code 0x20 or below. It lies within the
// given text.
LPSTR CommandLineTail(LPSTR commandLine);

#endif // VTX_COMMON_COMMAND_LINE_TAIL_H
