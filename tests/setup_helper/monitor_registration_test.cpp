// Monitor registration and the printer scan that decides whether the install goes on.
#include "helper_fixture.h"

#include <string>

namespace {

using helper_test::HelperTest;
using helper_test::SetText;

class MonitorRegistrationTest : public HelperTest {
  protected:
    void SetUp() override {
        HelperTest::SetUp();
        UseDevice();
        PutSystemFiles();
    }
};

TEST_F(MonitorRegistrationTest, PrinterScanLooksForTheSerialAsTheLastPartOfEachPort) {
    EXPECT_EQ(ScanPrinterPorts(), 1u); // no Printers key at all

    ASSERT_TRUE(vtxsim::AddPrinter("Other", "LPT1:"));
    ASSERT_TRUE(vtxsim::AddPrinter("Without port", ""));
    EXPECT_EQ(ScanPrinterPorts(), 1u);

    ASSERT_TRUE(vtxsim::AddPrinter("Draftaire K9", "USB/Draftaire K9/AB12"));
    EXPECT_EQ(ScanPrinterPorts(), 0u);
    // A serial inside another printer's port is a printer of its own, not set up yet.
    SetText(DeviceSerial, "AB1");
    EXPECT_EQ(ScanPrinterPorts(), 1u);
    SetText(DeviceSerial, "B12");
    EXPECT_EQ(ScanPrinterPorts(), 1u);
    SetText(DeviceSerial, "ab12"); // case-sensitive
    EXPECT_EQ(ScanPrinterPorts(), 1u);
    SetText(DeviceSerial, "");
    EXPECT_EQ(ScanPrinterPorts(), 0u);

    EXPECT_EQ(ParentKeyStack.count, 0);
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), 0u);
}

TEST_F(MonitorRegistrationTest, PrinterScanReadsLongNamesAndPortsOfTheFirstPrinterToo) {
    // Names and ports of 254 to 259 characters on the first printer are read whole: the
    // monitor makes port names of up to 255 characters, and a device set up on one of them
    // must not be set up again.
    for (size_t length = 254; length <= 259; length++) {
        vtxsim::ResetMachine();
        std::string port = "USB/" + std::string(length - 9, 'P') + "/AB12";
        ASSERT_TRUE(vtxsim::AddPrinter(std::string(length, 'N'), port));
        EXPECT_EQ(ScanPrinterPorts(), 0u) << length;
    }

    // A printer whose key cannot be read does not stop the scan of the next ones.
    vtxsim::ResetMachine();
    ASSERT_TRUE(vtxsim::AddPrinter("A first", "LPT1:"));
    ASSERT_TRUE(vtxsim::AddPrinter("B second", "USB/Draftaire K9/AB12"));
    vtxsim::FailCall("RegOpenKeyExA", 6, ERROR_ACCESS_DENIED); // after the walk's five opens
    EXPECT_EQ(ScanPrinterPorts(), 0u);
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), 0u);

    // An enumeration that fails for good ends the scan instead of counting through every index.
    vtxsim::ClearFailures();
    vtxsim::FailEveryCall("RegEnumKeyExA", ERROR_INVALID_HANDLE);
    EXPECT_EQ(ScanPrinterPorts(), 1u);
    EXPECT_EQ(vtxsim::CallCount("RegEnumKeyExA"), 1u);
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), 0u);
}

TEST_F(MonitorRegistrationTest, RegistrationAddsTheInstanceNamedByTheSerial) {
    SetLastError(1234); // whatever an earlier call left
    RegisterDeviceMonitor();
    EXPECT_EQ(DialogCode, 0);
    EXPECT_EQ(ErrorCode, 0);
    EXPECT_EQ(AbortFlag, 0);
    EXPECT_EQ(vtxsim::MonitorNames(), std::vector<std::string>{"AB12"});
    EXPECT_EQ(vtxsim::MonitorDriver("AB12"), "vtxpmo01.dll");

    UnregisterDeviceMonitor();
    EXPECT_TRUE(vtxsim::MonitorNames().empty());
}

TEST_F(MonitorRegistrationTest, ARegistrationFailureReachesTheSetupProgram) {
    WriteSetupValues();
    vtxsim::SetStringValue(helper_test::kModelKey, "PortName1", "USB/Draftaire K9/AB12");
    RegisterDeviceMonitor();
    RegisterDeviceMonitor(); // the spooler's 3006 for a second add of a name
    EXPECT_EQ(DialogCode, 2);
    EXPECT_EQ(ErrorCode, 3006);
    EXPECT_EQ(AbortFlag, 1);
    BuildSetupCommand();
    EXPECT_TRUE(
        std::string(SetupParameterString).ends_with(" -v dialog=2 -v error=3006 -v abort=1"))
        << SetupParameterString;
}

} // namespace
