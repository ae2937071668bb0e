// Control: what the window manager did in this process, in order, so tests can follow a
// window's life cycle. Window state is per process and not persisted.
#pragma once

#include "platform/sim/machine_types.h"

#include <string>
#include <vector>

namespace vtxsim {

// WindowEventKind and WindowEvent: machine_types.h.
std::vector<WindowEvent> WindowEvents();
// Forgets this process's classes, windows, message queues and events (a fresh process).
// ResetMachine does the same.
void ResetWindows();
// Windows of this process not yet destroyed.
unsigned LiveWindowCount();

} // namespace vtxsim
