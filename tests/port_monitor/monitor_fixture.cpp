#include "driver_install/printer_install.h"
#include "monitor_fixture.h"

namespace monitor_test {

vtxsim::PrinterSpec Printer(const std::string& product, const std::string& serial) {
    vtxsim::PrinterSpec spec;
    spec.product = product;
    spec.serial = serial;
    return spec;
}

std::string InterfaceKey(const vtxsim::PrinterSpec& spec) {
    return vtxsim::InterfaceParametersKeyOf(spec);
}

void MonitorTest::SetUp() {
    vtxsim::ResetMachine();
    vtxsim::ClearFailures();
    vtxsim::SetMonitorLibraryDir(VTX_MONITOR_DIR);
    vtxsim::SetWindowsVersion(vtxsim::WindowsVersion::Win98);
    vtxsim::SetTickCount(kSettledTick);
}

void MonitorTest::StartMonitor(const std::vector<std::string>& instances) {
    for (const std::string& name : instances) {
        vtxsim::SetStringValue(std::string("HKEY_LOCAL_MACHINE\\") + vtxsim::kMonitorsKeyPath +
                                   "\\" + name,
                               "Driver", "vtxpmo01.dll");
    }
    ASSERT_TRUE(host_.StartInstances()) << host_.Error();
    SettleAt(kSettledTick);
}

void MonitorTest::SettleAt(DWORD tick) {
    // Whatever the last rebuild was, one call at tick - 2 * kWindow - 1 leaves it at most
    // kWindow before that, so the call at tick finds the table stale.
    vtxsim::SetTickCount(tick - 2 * kWindow - 1);
    host_.EnumPorts(1);
    vtxsim::SetTickCount(tick);
    host_.EnumPorts(1);
}

void MonitorTest::Rebuild() {
    vtxsim::AdvanceTickCount(kWindow + 1);
    host_.EnumPorts(1);
}

unsigned MonitorTest::Scans() {
    return vtxsim::CallCount("SetupDiGetClassDevsA");
}

std::vector<std::string> MonitorTest::PortNames() const {
    std::vector<std::string> names;
    for (const vtxsim::PortInfo& port : host_.EnumPorts(1).ports)
        names.push_back(port.name);
    return names;
}

HANDLE MonitorTest::Open(const std::string& name) const {
    std::string text = name;
    HANDLE port = nullptr;
    Table().pfnOpenPort(text.data(), &port);
    return port;
}

BOOL MonitorTest::Write(HANDLE port, const std::string& data, DWORD* written) const {
    std::string bytes = data;
    return Table().pfnWritePort(port, reinterpret_cast<LPBYTE>(bytes.data()),
                                static_cast<DWORD>(bytes.size()), written);
}

} // namespace monitor_test
