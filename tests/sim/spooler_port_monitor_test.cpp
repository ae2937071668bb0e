// The real port monitor, loaded by the monitor host as the Windows 9x spooler loads it: its
// instances start from two threads at once, list the plugged-in printers' ports and move a
// document to a printer.
#include "driver_install/printer_install.h"
#include "platform/sim/control/device_ctl.h"
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/spooler_ctl.h"
#include "platform/win32api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

void AddInstance(std::string name) {
    std::string environment = "Windows 4.0";
    std::string dll = "vtxpmo01.dll";
    MONITOR_INFO_2A info{name.data(), environment.data(), dll.data()};
    ASSERT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) << GetLastError();
}

bool Lists(const vtxsim::EnumPortsResult& ports, const std::string& port) {
    return std::any_of(ports.ports.begin(), ports.ports.end(),
                       [&](const vtxsim::PortInfo& info) { return info.name == port; });
}

TEST(SpoolerPortMonitor, TheHostedMonitorListsThePrinterPortsAndPrintsToThem) {
    vtxsim::ResetMachine();
    vtxsim::ClearFailures();
    vtxsim::PrinterSpec printer = vtxsim::DraftaireK9("AB12");
    vtxsim::PrinterSpec second = vtxsim::DraftaireK9("CD34");
    vtxsim::InstallPrinter(printer);
    vtxsim::InstallPrinter(second);
    vtxsim::PutFile("C:\\Windows\\System\\vtxpmo01.dll", "monitor");
    AddInstance("AB12");
    AddInstance("CD34");

    vtxsim::SetMonitorLibraryDir(VTX_MONITOR_DIR);
    vtxsim::MonitorHost host;
    ASSERT_TRUE(host.StartInstances(true)) << host.Error();
    ASSERT_EQ(host.Instances().size(), 2u);
    const MONITOR& table = host.Table("AB12");
    EXPECT_EQ(table.pfnOpenPortEx, nullptr); // the 9x table has no OpenPortEx
    EXPECT_NE(table.pfnSetPortTimeOuts, nullptr);

    vtxsim::EnumPortsResult ports = host.EnumPorts(2);
    ASSERT_TRUE(ports.ok) << ports.error;
    EXPECT_TRUE(ports.wellFormed);
    std::string port = vtxsim::PortNameOf(printer);
    EXPECT_TRUE(Lists(ports, port)) << port;
    EXPECT_TRUE(Lists(host.EnumPorts(1, "CD34"), vtxsim::PortNameOf(second)));

    HANDLE handle = host.OpenPort(port);
    ASSERT_NE(handle, nullptr) << GetLastError();
    ASSERT_TRUE(host.StartDocPort(handle, "Draftaire K9", 1)) << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(host.WritePort(handle, "page one", &written)) << GetLastError();
    EXPECT_EQ(written, 8u);
    EXPECT_TRUE(host.EndDocPort(handle));
    EXPECT_TRUE(host.ClosePort(handle));
    EXPECT_EQ(vtxsim::ReceivedData("AB12"), "page one");
}

} // namespace
