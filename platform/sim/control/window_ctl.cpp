#include "platform/sim/control/window_ctl.h"

#include "platform/sim/window_events.h"

namespace vtxsim {

std::vector<WindowEvent> WindowEvents() {
    return sim::WindowEvents();
}

void ResetWindows() {
    sim::ResetWindows();
}

unsigned LiveWindowCount() {
    return sim::LiveWindowCount();
}

} // namespace vtxsim
