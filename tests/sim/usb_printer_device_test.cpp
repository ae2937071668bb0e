// The simulated USB printers behind the device paths: open, I/O, status, stalls, controls.
#include "driver_install/printer_install.h"
#include "platform/sim/control/device_ctl.h"
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/win32api.h"
#include "support/bare_printer.h"
#include "support/machine_directory.h"
#include "support/machine_fixture.h"
#include "support/markers.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using vtxtest::BarePrinter;

using vtxtest::kMarker;
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

HANDLE Open(const std::string& path, DWORD access = kReadWrite) {
    return CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

BOOL Write(HANDLE h, const std::string& bytes, DWORD* written) {
    *written = kMarker;
    return WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), written, nullptr);
}

// Runs body in a child process; returns its exit status.
template <typename Body> int InChild(Body body) {
    pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class UsbPrinterTest : public vtxtest::MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        vtxsim::InstallPrinter(BarePrinter("AB12"));
        path = vtxsim::DevicePathOf(BarePrinter("AB12"));
    }
    std::string path;
};

TEST_F(UsbPrinterTest, OnlyAnAttachedPrinterOpensAndItsPathIsMatchedWithoutRegardToCase) {
    vtxsim::InstallPrinter(BarePrinter("CD34", false));
    const std::string cd34 = vtxsim::DevicePathOf(BarePrinter("CD34"));
    const std::string wrongClass =
        "\\\\?\\usb#vid_0d7a&pid_0042#ab12#{11111111-2222-3333-4444-555555555555}";
    for (const std::string& bad :
         {cd34,
          std::string("\\\\?\\usb#vid_0d7a&pid_0042#zz99#{5d2f7a10-3c4b-4e8a-9b61-"
                      "2f0c8e4d7a93}"),
          wrongClass, std::string("\\\\?\\usb")}) {
        SetLastError(kMarker);
        EXPECT_EQ(Open(bad), INVALID_HANDLE_VALUE) << bad;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << bad;
    }

    std::string upper = path;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    HANDLE h = Open(upper);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(vtxsim::IsDeviceOpen("AB12"));
    EXPECT_FALSE(vtxsim::IsDeviceOpen("CD34"));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(vtxsim::IsDeviceOpen("AB12"));

    vtxsim::AttachPrinter("CD34");
    h = Open(cd34);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_THROW(vtxsim::AttachPrinter("NO99"), std::invalid_argument);
}

TEST_F(UsbPrinterTest, APrinterIsExclusiveAcrossProcessesUntilItsHolderClosesOrDies) {
    vtxtest::MachineDirectory machine;
    vtxsim::ResetMachine();
    vtxsim::InstallPrinter(BarePrinter("AB12"));

    HANDLE h = Open(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetLastError(kMarker);
    EXPECT_EQ(Open(path), INVALID_HANDLE_VALUE); // also within the process
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    int child = InChild([&] {
        SetLastError(kMarker);
        HANDLE second = CreateFileA(path.c_str(), kReadWrite, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        return second == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION ? 0 : 1;
    });
    EXPECT_EQ(child, 0);
    CloseHandle(h);

    // A process that dies holding the printer lets go of it.
    child = InChild([&] {
        HANDLE held = Open(path);
        return held != INVALID_HANDLE_VALUE && vtxsim::IsDeviceOpen("AB12") ? 0 : 1;
    });
    EXPECT_EQ(child, 0);
    EXPECT_FALSE(vtxsim::IsDeviceOpen("AB12"));
    h = Open(path);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST_F(UsbPrinterTest, TheStatusControlAnswersThePortStatusByte) {
    EXPECT_EQ(CTL_CODE(FILE_DEVICE_PRINTER, 0x801, METHOD_BUFFERED, FILE_ANY_ACCESS),
              vtxsim::kStatusControl);
    HANDLE h = Open(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    BYTE status = 0xFF;
    DWORD returned = kMarker;
    EXPECT_TRUE(
        DeviceIoControl(h, vtxsim::kStatusControl, &status, 1, &status, 1, &returned, nullptr));
    EXPECT_EQ(status, vtxsim::kDefaultStatus);
    EXPECT_EQ(returned, 1u);

    for (std::uint8_t byte : {0x38, 0x20, 0x10, 0x08, 0x00}) {
        vtxsim::SetStatusByte("AB12", byte);
        status = 0xFF;
        EXPECT_TRUE(
            DeviceIoControl(h, vtxsim::kStatusControl, &status, 1, &status, 1, &returned, nullptr));
        EXPECT_EQ(status, byte);
    }
    SetLastError(kMarker);
    returned = kMarker;
    EXPECT_FALSE(
        DeviceIoControl(h, vtxsim::kStatusControl, &status, 1, &status, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(returned, 0u);
    CloseHandle(h);
}

TEST_F(UsbPrinterTest, WrittenBytesAreKeptAndReadsGetTheQueuedReplies) {
    HANDLE h = Open(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(Write(h, std::string("\x1b%-12345X@PJL\0", 14), &written));
    EXPECT_EQ(written, 14u);
    EXPECT_TRUE(Write(h, "", &written));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(Write(h, "page", &written));
    EXPECT_EQ(vtxsim::ReceivedData("AB12"), std::string("\x1b%-12345X@PJL\0page", 18));

    char buffer[8] = {};
    DWORD read = kMarker;
    EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(read, 0u); // nothing queued
    vtxsim::QueueReply("AB12", "@PJL INFO");
    vtxsim::QueueReply("AB12", "!");
    EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "@PJL INF");
    EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "O!");
    CloseHandle(h);

    // A handle keeps the access it was opened with.
    h = Open(path, GENERIC_WRITE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetLastError(kMarker);
    EXPECT_FALSE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(h);
}

TEST_F(UsbPrinterTest, AStalledPrinterTakesItsRemainingBytesThenMovesNothing) {
    HANDLE h = Open(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    vtxsim::SetStall("AB12", 5);
    DWORD written = 0;
    EXPECT_TRUE(Write(h, "abc", &written));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(Write(h, "defg", &written)); // a partial write
    EXPECT_EQ(written, 2u);
    SetLastError(kMarker);
    EXPECT_FALSE(Write(h, "hij", &written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(GetLastError(), vtxsim::kStallError);
    EXPECT_EQ(vtxsim::ReceivedData("AB12"), "abcde");

    vtxsim::ClearStall("AB12");
    EXPECT_TRUE(Write(h, "hij", &written));
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(vtxsim::ReceivedData("AB12"), "abcdehij");
    CloseHandle(h);
}

// Found by the device histories: paper out, unplug, plug in, print. Pulling the cable resets a
// stall, but not a printer's lack of paper.
TEST_F(UsbPrinterTest, ReplugEndsAStallButNotALackOfPaper) {
    vtxsim::SetStall("AB12", 0);
    vtxsim::DetachPrinter("AB12");
    vtxsim::AttachPrinter("AB12");
    DWORD written = 0;
    HANDLE h = Open(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Write(h, "abc", &written));
    EXPECT_EQ(written, 3u);
    CloseHandle(h);

    vtxsim::SetStatusByte("AB12", vtxsim::kDefaultStatus | vtxsim::kPaperEmpty);
    vtxsim::SetStall("AB12", 0);
    vtxsim::DetachPrinter("AB12");
    vtxsim::AttachPrinter("AB12");
    h = Open(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetLastError(kMarker);
    EXPECT_FALSE(Write(h, "def", &written));
    EXPECT_EQ(GetLastError(), vtxsim::kStallError);
    EXPECT_EQ(vtxsim::ReceivedData("AB12"), "abc");
    CloseHandle(h);
}

TEST_F(UsbPrinterTest, OtherControlsAreAnsweredFromTheTestsTable) {
    HANDLE h = Open(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    constexpr DWORD kDeviceId = 0x00220034;
    char out[8] = {'#', '#', '#', '#', '#', '#', '#', '#'};
    DWORD returned = kMarker;
    SetLastError(kMarker);
    EXPECT_FALSE(DeviceIoControl(h, kDeviceId, nullptr, 0, out, sizeof out, &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));

    vtxsim::SetControlReply("AB12", kDeviceId, "MDL:K9;");
    char in[2] = {'x', 'y'};
    EXPECT_TRUE(DeviceIoControl(h, kDeviceId, in, 2, out, sizeof out, &returned, nullptr));
    EXPECT_EQ(returned, 7u);
    EXPECT_EQ(std::string(out, 8), "MDL:K9;#");
    SetLastError(kMarker);
    EXPECT_FALSE(DeviceIoControl(h, kDeviceId, nullptr, 0, out, 6, &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(returned, 0u);

    // The table can make any control fail, the status query included.
    vtxsim::SetControlReply("AB12", vtxsim::kStatusControl, "", ERROR_GEN_FAILURE);
    BYTE status = 0;
    SetLastError(kMarker);
    EXPECT_FALSE(
        DeviceIoControl(h, vtxsim::kStatusControl, &status, 1, &status, 1, &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));

    std::vector<vtxsim::ControlCall> calls = vtxsim::ReceivedControls("AB12");
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].code, kDeviceId);
    EXPECT_EQ(calls[1].input, "xy");
    EXPECT_EQ(calls[3].code, vtxsim::kStatusControl);
    EXPECT_EQ(calls[3].input.size(), 1u);
    CloseHandle(h);
}

TEST_F(UsbPrinterTest, APrinterPulledOutFailsItsOpenHandleEvenWhenPluggedInAgain) {
    HANDLE h = Open(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    vtxsim::DetachPrinter("AB12");
    EXPECT_FALSE(vtxsim::IsPrinterAttached("AB12"));
    DWORD done = kMarker;
    char buffer[4];
    BYTE status = 0;
    SetLastError(kMarker);
    EXPECT_FALSE(Write(h, "x", &done));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(done, 0u);
    SetLastError(kMarker);
    EXPECT_FALSE(ReadFile(h, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    SetLastError(kMarker);
    EXPECT_FALSE(
        DeviceIoControl(h, vtxsim::kStatusControl, &status, 1, &status, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    SetLastError(kMarker);
    EXPECT_EQ(Open(path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    vtxsim::AttachPrinter("AB12");
    EXPECT_FALSE(Write(h, "x", &done));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    HANDLE again = Open(path); // a new device: the stale handle does not hold it
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Write(again, "y", &done));
    EXPECT_EQ(vtxsim::ReceivedData("AB12"), "y");
    CloseHandle(again);
    EXPECT_TRUE(vtxsim::IsDeviceOpen("AB12")); // the stale handle still counts
    CloseHandle(h);
    EXPECT_FALSE(vtxsim::IsDeviceOpen("AB12"));
}

} // namespace
