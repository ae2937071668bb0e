// Open ports: the job path to the simulated printer, the status of a stalled write, exclusive
// device access, shared records, bad handles and the operations the monitor does not offer.
#include "driver_install/printer_install.h"
#include "monitor_fixture.h"

namespace monitor_test {
namespace {

const std::string kPort = "USB/Draftaire K9/AB12";
char kPrinterName[] = "Draftaire K9";

class OpenPortTest : public MonitorTest {
  protected:
    void SetUp() override {
        MonitorTest::SetUp();
        vtxsim::InstallPrinter(Printer("Draftaire K9", "AB12"));
        StartMonitor();
    }
    BOOL Start(HANDLE port) const {
        return Table().pfnStartDocPort(port, kPrinterName, 7, 1, nullptr);
    }
};

TEST_F(OpenPortTest, AJobsBytesArriveOnThePrinter) {
    HANDLE port = host_.OpenPort(kPort);
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(Table().pfnEndDocPort(port)) << "ending with no document does nothing";
    EXPECT_FALSE(vtxsim::IsDeviceOpen("AB12"));

    for (const std::string job : {"%!PS first job\n", "second job\n"}) {
        ASSERT_TRUE(Start(port));
        EXPECT_TRUE(vtxsim::IsDeviceOpen("AB12"));
        DWORD written = kMarker;
        EXPECT_TRUE(Write(port, job, &written));
        EXPECT_EQ(written, job.size());
        EXPECT_TRUE(Table().pfnEndDocPort(port));
        EXPECT_FALSE(vtxsim::IsDeviceOpen("AB12"));
    }
    EXPECT_EQ(vtxsim::ReceivedData("AB12"), "%!PS first job\nsecond job\n");

    ASSERT_TRUE(Start(port));
    vtxsim::QueueReply("AB12", "@PJL READY");
    char reply[32] = {};
    DWORD read = kMarker;
    EXPECT_TRUE(host_.ReadPort(port, reply, sizeof(reply), &read));
    EXPECT_EQ(std::string(reply, read), "@PJL READY");
    EXPECT_TRUE(host_.EndDocPort(port));
    EXPECT_TRUE(host_.ClosePort(port));
}

TEST_F(OpenPortTest, PrinterDataControlsPassThroughOnlyDuringADocument) {
    HANDLE port = host_.OpenPort(kPort);
    const DWORD control = 0x00220034;
    vtxsim::SetControlReply("AB12", control, "ID:Draftaire K9;");
    char in[] = "q";
    char out[32] = {};
    DWORD returned = kMarker;
    const MONITOR& table = Table();
    SetLastError(kMarker);
    EXPECT_FALSE(
        table.pfnGetPrinterDataFromPort(port, control, nullptr, in, 1, out, 32, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "no document";
    ASSERT_TRUE(Start(port));
    char valueName[] = "Status";
    SetLastError(kMarker);
    EXPECT_FALSE(table.pfnGetPrinterDataFromPort(port, 0, valueName, in, 1, out, 32, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "by value name";
    EXPECT_TRUE(table.pfnGetPrinterDataFromPort(port, control, nullptr, in, 1, out, 32, &returned));
    EXPECT_EQ(std::string(out, returned), "ID:Draftaire K9;");
    vtxsim::SetControlReply("AB12", control, "", ERROR_GEN_FAILURE);
    SetLastError(kMarker);
    EXPECT_FALSE(
        table.pfnGetPrinterDataFromPort(port, control, nullptr, in, 1, out, 32, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    std::vector<vtxsim::ControlCall> calls = vtxsim::ReceivedControls("AB12");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].code, control);
    EXPECT_EQ(calls[0].input, "q");
    host_.EndDocPort(port);
}

TEST_F(OpenPortTest, AWriteThatMovesNothingReportsThePrinterStatus) {
    HANDLE port = host_.OpenPort(kPort);
    ASSERT_TRUE(Start(port));
    DWORD written = kMarker;
    // A write that gets part of the data through is a success.
    vtxsim::SetStall("AB12", 3);
    EXPECT_TRUE(Write(port, "abcdef", &written));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(vtxsim::ReceivedControls("AB12").empty());

    struct Row {
        BYTE status;
        BOOL ok;
        DWORD error;
    };
    const Row rows[] = {
        {0x38, FALSE, ERROR_OUT_OF_PAPER}, // paper empty wins over the rest
        {0x20, FALSE, ERROR_OUT_OF_PAPER},
        {0x08, FALSE, ERROR_NOT_READY}, // not selected
        {0x00, FALSE, ERROR_NOT_READY},
        {0x18, TRUE, ERROR_SUCCESS},    // selected, no error: merely slow
        {0x10, FALSE, ERROR_NOT_READY}, // selected, error
    };
    for (const Row& row : rows) {
        vtxsim::SetStatusByte("AB12", row.status);
        written = kMarker;
        SetLastError(kMarker);
        EXPECT_EQ(Write(port, "ghi", &written), row.ok) << "status " << int(row.status);
        EXPECT_EQ(written, 0u);
        EXPECT_EQ(GetLastError(), row.error) << "status " << int(row.status);
    }
    std::vector<vtxsim::ControlCall> calls = vtxsim::ReceivedControls("AB12");
    ASSERT_EQ(calls.size(), std::size(rows));
    EXPECT_EQ(calls[0].code, vtxsim::kStatusControl);
    EXPECT_EQ(calls[0].input.size(), 1u);

    vtxsim::SetControlReply("AB12", vtxsim::kStatusControl, "", ERROR_GEN_FAILURE);
    SetLastError(kMarker);
    EXPECT_FALSE(Write(port, "ghi", &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY)) << "status unreadable";

    // A write of nothing that succeeds asks for no status.
    vtxsim::ClearStall("AB12");
    EXPECT_TRUE(Write(port, "", &written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(vtxsim::ReceivedControls("AB12").size(), std::size(rows) + 1);
    EXPECT_EQ(vtxsim::ReceivedData("AB12"), "abc");
    host_.EndDocPort(port);
}

TEST_F(OpenPortTest, StartDocPortOpensTheDeviceExclusively) {
    HANDLE port = host_.OpenPort(kPort);
    std::string path = vtxsim::DevicePathOf(Printer("Draftaire K9", "AB12"));
    HANDLE elsewhere = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(elsewhere, INVALID_HANDLE_VALUE);
    SetLastError(kMarker);
    EXPECT_FALSE(Start(port));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(elsewhere);

    // The record stayed idle: the next start gets the device, which nobody else can open.
    ASSERT_TRUE(Start(port));
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    SetLastError(kMarker);
    EXPECT_FALSE(Start(port));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    SetLastError(kMarker);
    EXPECT_FALSE(Table().pfnStartDocPort(port, nullptr, 7, 1, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    DWORD written = 0;
    EXPECT_TRUE(Write(port, "still started", &written));
    EXPECT_TRUE(host_.EndDocPort(port));
    EXPECT_EQ(vtxsim::ReceivedData("AB12"), "still started");

    // A device that is unplugged, or whose port left the table, does not start.
    vtxsim::DetachPrinter("AB12");
    SetLastError(kMarker);
    EXPECT_FALSE(Start(port));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // An unplugged printer keeps its port through a rebuild, ready for when it comes back.
    Rebuild();
    EXPECT_EQ(PortNames(), std::vector<std::string>{kPort});
    vtxsim::AttachPrinter("AB12");
    vtxsim::SetDwordValue(InterfaceKey(Printer("Draftaire K9", "AB12")), "Enabled", 0);
    Rebuild();
    SetLastError(kMarker);
    EXPECT_FALSE(Start(port));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(OpenPortTest, PrintersSharingAPortShareOneRecordUntilTheLastClose) {
    HANDLE first = Open(kPort);
    HANDLE second = Open("usb/DRAFTAIRE k9/ab12");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(second, first);
    unsigned blocks = vtxsim::LiveGlobalBlocks();

    EXPECT_TRUE(Table().pfnClosePort(first));
    EXPECT_EQ(vtxsim::LiveGlobalBlocks(), blocks) << "the other printer still holds it";
    ASSERT_TRUE(Start(second));
    DWORD written = 0;
    EXPECT_TRUE(Write(second, "shared", &written));
    EXPECT_TRUE(Table().pfnEndDocPort(second));
    EXPECT_EQ(vtxsim::ReceivedData("AB12"), "shared");

    EXPECT_TRUE(Table().pfnClosePort(second));
    EXPECT_EQ(vtxsim::LiveGlobalBlocks(), blocks - 3) << "record, port name, device path";
    // A handle no longer in the list changes nothing.
    EXPECT_TRUE(Table().pfnClosePort(second));
    EXPECT_EQ(vtxsim::LiveGlobalBlocks(), blocks - 3);
}

TEST_F(OpenPortTest, ClosingAPortWithAStartedDocumentReleasesTheDevice) {
    HANDLE port = Open(kPort);
    ASSERT_TRUE(Start(port));
    EXPECT_TRUE(vtxsim::IsDeviceOpen("AB12"));
    EXPECT_TRUE(Table().pfnClosePort(port));
    EXPECT_FALSE(vtxsim::IsDeviceOpen("AB12"));

    HANDLE again = Open(kPort);
    EXPECT_TRUE(Start(again));
    EXPECT_TRUE(Table().pfnEndDocPort(again));
    Table().pfnClosePort(again);
}

TEST_F(OpenPortTest, EveryPortOperationRefusesANullHandle) {
    const MONITOR& t = Table();
    BYTE buffer[4] = {};
    DWORD count = kMarker;
    char name[] = "USB/Draftaire K9/AB12";
    // Braced lists are evaluated in order: each call's last error is checked before the next.
    auto refused = [](BOOL result) {
        bool ok = !result && GetLastError() == static_cast<DWORD>(ERROR_INVALID_PARAMETER);
        SetLastError(kMarker);
        return ok;
    };
    SetLastError(kMarker);
    const bool results[] = {
        refused(t.pfnOpenPort(name, nullptr)),
        refused(t.pfnStartDocPort(nullptr, kPrinterName, 1, 1, nullptr)),
        refused(t.pfnWritePort(nullptr, buffer, 4, &count)),
        refused(t.pfnReadPort(nullptr, buffer, 4, &count)),
        refused(t.pfnEndDocPort(nullptr)),
        refused(t.pfnClosePort(nullptr)),
        refused(t.pfnGetPrinterDataFromPort(nullptr, 1, nullptr, nullptr, 0, nullptr, 0, &count)),
        refused(t.pfnSetPortTimeOuts(nullptr, nullptr, 0)),
        refused(t.pfnWritePort(host_.OpenPort(kPort), buffer, 4, nullptr)),
    };
    for (size_t i = 0; i < std::size(results); ++i)
        EXPECT_TRUE(results[i]) << "operation " << i;
    EXPECT_EQ(count, kMarker);
}

TEST_F(OpenPortTest, PortsCannotBeAddedOrDeletedAndConfiguringDoesNothing) {
    const MONITOR& table = Table();
    char port[] = "USB/Draftaire K9/AB12";
    SetLastError(kMarker);
    EXPECT_FALSE(table.pfnAddPort(nullptr, nullptr, port));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_COMMAND));
    SetLastError(kMarker);
    EXPECT_FALSE(table.pfnDeletePort(nullptr, nullptr, port));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_COMMAND));
    SetLastError(kMarker);
    EXPECT_TRUE(table.pfnConfigurePort(nullptr, nullptr, port));
    EXPECT_TRUE(table.pfnSetPortTimeOuts(host_.OpenPort(kPort), nullptr, 0));
    EXPECT_EQ(GetLastError(), kMarker);
}

TEST_F(OpenPortTest, NothingIsLeftOnTheHeapOnceTheTableIsEmptyAndEveryPortClosed) {
    vtxsim::InstallPrinter(Printer("Draftaire K9", "CD34"));
    Rebuild();
    HANDLE first = Open(kPort);
    HANDLE second = Open("USB/Draftaire K9/CD34");
    HANDLE shared = Open(kPort);
    ASSERT_TRUE(Start(first));
    ASSERT_TRUE(Start(second));
    DWORD written = 0;
    EXPECT_TRUE(Write(first, "one", &written));
    EXPECT_TRUE(Table().pfnEndDocPort(first));
    // A failed start releases what it took.
    vtxsim::DetachPrinter("AB12");
    EXPECT_FALSE(Start(first));

    vtxsim::ResetMachine(); // every device and key gone
    SettleAt(kSettledTick);
    EXPECT_TRUE(PortNames().empty());
    Table().pfnClosePort(first);
    Table().pfnClosePort(shared);
    Table().pfnClosePort(second); // still started
    EXPECT_EQ(vtxsim::LiveGlobalBlocks(), 0u);
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), 0u);
    EXPECT_EQ(vtxsim::OpenDeviceInfoListCount(), 0u);
}

} // namespace
} // namespace monitor_test
