// What the window manager did in this process, in order; window state is per process and not
// persisted.
#pragma once

#include "platform/sim/machine_types.h"

#include <vector>

namespace sim {

std::vector<vtxsim::WindowEvent> WindowEvents();
// Forgets this process's classes, windows, message queues and events.
void ResetWindows();
// Windows of this process not yet destroyed.
unsigned LiveWindowCount();

} // namespace sim
