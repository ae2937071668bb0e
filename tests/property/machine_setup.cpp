#include "machine_setup.h"

namespace property {

void FreshMachine(const MachineSetup& setup, DWORD tick) {
    vtxsim::ResetMachine();
    vtxsim::ClearFailures();
    vtxsim::SetMonitorLibraryDir(VTX_MONITOR_DIR);
    vtxsim::SetWindowsVersion(setup.version);
    vtxsim::SetShellRunning(setup.shellRunning);
    vtxsim::SetTickCount(tick);
    vtxsim::SetEnumerationOrder(setup.order);
}

vtxsim::PrinterSpec ForMachineOrder(vtxsim::PrinterSpec spec) {
    spec.ntInterfaceKey = vtxsim::GetEnumerationOrder() == vtxsim::EnumerationOrder::Sorted;
    return spec;
}

rc::Gen<vtxsim::EnumerationOrder> AnyOrder() {
    return rc::gen::element(vtxsim::EnumerationOrder::Creation, vtxsim::EnumerationOrder::Sorted);
}

} // namespace property
