// The REGEDIT4 printer fixtures describe the same machines that InstallPrinter makes.
#include "driver_install/printer_install.h"
#include "platform/sim/control/device_ctl.h"
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/registry_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using Tree = std::map<std::string, std::map<std::string, vtxsim::RegistryValue>>;

void Collect(const std::string& key, Tree& tree) {
    auto& values = tree[key];
    for (const std::string& name : vtxsim::ValueNames(key))
        values[name] = vtxsim::RawValue(key, name).value_or(vtxsim::RegistryValue{});
    for (const std::string& subkey : vtxsim::SubkeyNames(key))
        Collect(key + "\\" + subkey, tree);
}

// Every key and value of the machine, whatever the order they were made in.
Tree Registry() {
    Tree tree;
    Collect("HKEY_LOCAL_MACHINE", tree);
    Collect("HKEY_CURRENT_USER", tree);
    return tree;
}

Tree Installed(std::vector<vtxsim::PrinterSpec> specs) {
    vtxsim::ResetMachine();
    for (vtxsim::PrinterSpec& spec : specs) {
        spec.driverFiles = false;
        vtxsim::InstallPrinter(spec);
    }
    return Registry();
}

Tree Imported(const std::string& fixture) {
    vtxsim::ResetMachine();
    vtxsim::ImportReg(std::string(VTX_FIXTURES_DIR) + "/" + fixture);
    return Registry();
}

class PrinterFixtureTest : public vtxtest::MachineTest {};

TEST_F(PrinterFixtureTest, EachFixtureHoldsWhatInstallPrinterWrites) {
    vtxsim::PrinterSpec withVxd = vtxsim::DraftaireK9("AB12");
    withVxd.vxdKey = true;
    EXPECT_EQ(Imported("one_k9_printer.reg"), Installed({vtxsim::DraftaireK9("AB12")}));
    EXPECT_EQ(Imported("one_k9_printer_vxd.reg"), Installed({withVxd}));
    EXPECT_EQ(Imported("two_k9_printers.reg"),
              Installed({vtxsim::DraftaireK9("AB12"), vtxsim::DraftaireK9("CD34")}));
    EXPECT_EQ(Imported("k9_and_k7_printers.reg"),
              Installed({vtxsim::DraftaireK9("AB12"), vtxsim::DraftaireK7("EF56")}));
}

TEST_F(PrinterFixtureTest, InstallationGivesEachDeviceItsClassInstanceAndPortNameValue) {
    vtxsim::InstallPrinter(vtxsim::DraftaireK9("AB12"));
    vtxsim::InstallPrinter(vtxsim::DraftaireK7("EF56"));
    vtxsim::InstallPrinter(vtxsim::DraftaireK9("CD34"));
    vtxsim::InstallPrinter(vtxsim::DraftaireK9("AB12")); // again: nothing new

    const std::string k9 = "HKLM\\Software\\Kelvara\\VTXIO\\K9";
    EXPECT_EQ(vtxsim::StringValue(k9, "PortName1"), "USB/Draftaire K9/AB12");
    EXPECT_EQ(vtxsim::StringValue(k9, "PortName2"), "USB/Draftaire K9/CD34");
    EXPECT_FALSE(vtxsim::StringValue(k9, "PortName3"));
    EXPECT_EQ(vtxsim::StringValue("HKLM\\Software\\Kelvara\\VTXIO\\K7", "PortName1"),
              "USB/Draftaire K7/EF56");
    EXPECT_EQ(vtxsim::StringValue("HKLM\\Enum\\USB\\VID_0D7A&PID_0042\\AB12", "driver"),
              "USB Draftaire\\0000");
    EXPECT_EQ(vtxsim::StringValue("HKLM\\Enum\\USB\\VID_0D7A&PID_0041\\EF56", "driver"),
              "USB Draftaire\\0001");
    EXPECT_EQ(vtxsim::StringValue("HKLM\\Enum\\USB\\VID_0D7A&PID_0042\\CD34", "driver"),
              "USB Draftaire\\0002");
    EXPECT_EQ(vtxsim::SubkeyNames("HKLM\\System\\CurrentControlSet\\Services\\Class\\USB "
                                  "Draftaire")
                  .size(),
              3u);

    for (const char* file :
         {"C:\\Windows\\System32\\DRIVERS\\vtxubd01.sys",
          "C:\\Windows\\System32\\DRIVERS\\vtxiod01.sys", "C:\\Windows\\System\\vtxcls01.dll",
          "C:\\Windows\\System\\vtxpmo01.dll", "C:\\Windows\\System\\vtxinh01.exe",
          "C:\\Windows\\System\\VMM32\\vtxvxu01.dll", "C:\\Windows\\Inf\\Other\\OEM0.INF",
          "C:\\Windows\\Inf\\Other\\OEM1.INF"})
        EXPECT_TRUE(vtxsim::FileExists(file)) << file;
}

TEST_F(PrinterFixtureTest, APrinterOfAFixtureOpensOnceAttached) {
    vtxsim::ImportReg(std::string(VTX_FIXTURES_DIR) + "/two_k9_printers.reg");
    const std::string path = vtxsim::DevicePathOf(vtxsim::DraftaireK9("CD34"));
    SetLastError(0);
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    vtxsim::AttachPrinter("CD34");
    EXPECT_TRUE(vtxsim::IsPrinterAttached("CD34"));
    EXPECT_FALSE(vtxsim::IsPrinterAttached("AB12"));
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "x", 1, &written, nullptr));
    EXPECT_EQ(vtxsim::ReceivedData("USB\\VID_0D7A&PID_0042\\CD34"), "x");
    CloseHandle(h);
}

} // namespace
