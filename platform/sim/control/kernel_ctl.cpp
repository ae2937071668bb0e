#include "platform/sim/control/kernel_ctl.h"

#include "platform/sim/live_counts.h"
#include "platform/sim/settings.h"

namespace vtxsim {

void SetWindowsVersion(WindowsVersion version) {
    sim::SetWindowsVersion(version);
}

void SetShellRunning(bool running) {
    sim::SetShellRunning(running);
}

WindowsVersion GetWindowsVersion() {
    return sim::CurrentWindowsVersion();
}

bool IsShellRunning() {
    return sim::ShellRunning();
}

void SetTickCount(DWORD ms) {
    sim::SetTickCount(ms);
}

void AdvanceTickCount(DWORD ms) {
    sim::AdvanceTickCount(ms);
}

void RunClockFromBoot() {
    sim::RunClockFromBoot();
}

unsigned LiveGlobalBlocks() {
    return sim::LiveGlobalBlocks();
}

unsigned CriticalSectionReinitialisations() {
    return sim::CriticalSectionReinitialisations();
}

} // namespace vtxsim
