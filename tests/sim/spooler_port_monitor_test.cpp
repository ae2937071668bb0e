// The real port monitor, loaded by the monitor host as the Windows 9x spooler loads it: its
// instances start from two threads at once, list the plugged-in printers' ports and move a
// document to a printer; and the spooler's own lists of monitors, ports and printers over it.
#include "driver_install/printer_install.h"
#include "platform/sim/control/device_ctl.h"
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/registry_ctl.h"
#include "platform/sim/control/spooler_ctl.h"
#include "platform/win32api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

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

// A spooler list at every buffer size: short of the size it asks, it fails with that same size
// and fills nothing; at that size every record and string lies inside the buffer.
using ListCall = std::function<BOOL(LPBYTE, DWORD, LPDWORD, LPDWORD)>;
std::vector<BYTE> ListAtEverySize(const ListCall& call, DWORD* count) {
    DWORD needed = 0;
    DWORD returned = 7;
    EXPECT_FALSE(call(nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buffer(needed + 16, 0xCC);
    for (DWORD size = 0; size < needed; ++size) {
        DWORD asked = 0;
        returned = 7;
        EXPECT_FALSE(call(buffer.data(), size, &asked, &returned)) << size;
        EXPECT_EQ(asked, needed);
        EXPECT_EQ(returned, 0u);
    }
    EXPECT_TRUE(call(buffer.data(), needed, &needed, count)) << GetLastError();
    EXPECT_EQ(buffer[needed], 0xCC); // nothing past the size given
    buffer.resize(needed);
    return buffer;
}

bool Inside(const std::vector<BYTE>& buffer, LPCSTR text) {
    auto at = reinterpret_cast<const BYTE*>(text);
    return at >= buffer.data() && at < buffer.data() + buffer.size() &&
           std::find(at, buffer.data() + buffer.size(), 0) != buffer.data() + buffer.size();
}

TEST(SpoolerPortMonitor, TheSpoolersListsNegotiateTheirSizeAndHoldWhatTheMachineHas) {
    vtxsim::ResetMachine();
    vtxsim::ClearFailures();
    vtxsim::PrinterSpec printer = vtxsim::DraftaireK9("AB12");
    vtxsim::InstallPrinter(printer);
    AddInstance("AB12");
    AddInstance("Gone"); // its library cannot load: the spooler lists neither it nor ports of it
    vtxsim::SetStringValue(std::string("HKEY_LOCAL_MACHINE\\") + vtxsim::kMonitorsKeyPath +
                               "\\Gone",
                           "Driver", "gone.dll");
    vtxsim::AddPrinter("Draftaire K9", vtxsim::PortNameOf(printer));
    vtxsim::SetMonitorLibraryDir(VTX_MONITOR_DIR);

    DWORD count = 0;
    std::vector<BYTE> monitors =
        ListAtEverySize([](LPBYTE b, DWORD s, LPDWORD n,
                           LPDWORD r) { return EnumMonitorsA(nullptr, 2, b, s, n, r); },
                        &count);
    ASSERT_EQ(count, 1u);
    auto monitor = reinterpret_cast<const MONITOR_INFO_2A*>(monitors.data());
    ASSERT_TRUE(Inside(monitors, monitor->pName) && Inside(monitors, monitor->pDLLName));
    EXPECT_STREQ(monitor->pName, "AB12");
    EXPECT_STREQ(monitor->pDLLName, "vtxpmo01.dll");

    std::vector<BYTE> ports = ListAtEverySize(
        [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD r) { return EnumPortsA(nullptr, 2, b, s, n, r); },
        &count);
    ASSERT_EQ(count, 1u);
    auto port = reinterpret_cast<const PORT_INFO_2A*>(ports.data());
    ASSERT_TRUE(Inside(ports, port->pPortName));
    EXPECT_EQ(port->pPortName, vtxsim::PortNameOf(printer));

    std::vector<BYTE> printers = ListAtEverySize(
        [](LPBYTE b, DWORD s, LPDWORD n, LPDWORD r) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, b, s, n, r);
        },
        &count);
    ASSERT_EQ(count, 1u);
    auto listed = reinterpret_cast<const PRINTER_INFO_2A*>(printers.data());
    ASSERT_TRUE(Inside(printers, listed->pPrinterName) && Inside(printers, listed->pPortName));
    EXPECT_STREQ(listed->pPrinterName, "Draftaire K9");
    EXPECT_EQ(listed->pPortName, vtxsim::PortNameOf(printer));

    DWORD needed = 0;
    EXPECT_FALSE(EnumPortsA(nullptr, 3, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, const_cast<LPSTR>("\\\\other"), 2, nullptr, 0,
                               &needed, &count));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

} // namespace
