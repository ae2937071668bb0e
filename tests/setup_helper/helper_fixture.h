// Shared fixture of the helper's tests: a clean Windows 98 machine and the helper's program-wide
// state back at its load values, as at the start of a new helper process.
#pragma once

#include "platform/sim/control/simctl.h"
#include "setup_helper/helper.h"
#include "setup_helper/removal/removal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace helper_test {

inline const std::string kModelKey = "HKLM\\Software\\Kelvara\\VTXIO\\K9";
inline const std::string kCmdLineKey = "HKLM\\Software\\Kelvara\\VTX\\K9\\AB12";
inline const std::string kRunOnceKey =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline const std::string kWininit = "C:\\Windows\\wininit.ini";
inline const std::string kHelperFile = "C:\\Windows\\System\\vtxinh01.exe";

inline void ResetHelperState() {
    std::memset(CommandLineCopy, 0, sizeof(CommandLineCopy));
    ActionCode = 0;
    std::memset(DeviceModel, 0, sizeof(DeviceModel));
    std::memset(DeviceSerial, 0, sizeof(DeviceSerial));
    std::memset(ModelKeyPath, 0, sizeof(ModelKeyPath));
    ErrorCode = 0;
    DialogCode = 0;
    AbortFlag = 0;
    std::memset(SetupRoot, 0, sizeof(SetupRoot));
    std::memset(SetupProgramPath, 0, sizeof(SetupProgramPath));
    std::memset(SetupParameterString, 0, sizeof(SetupParameterString));
    ParentKeyStack = PARENT_KEY_STACK{};
}

// Copies text into one of the helper's fixed buffers (a test's own input, always short).
template <size_t N> void SetText(CHAR (&buffer)[N], const std::string& text) {
    ASSERT_LT(text.size(), N);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
}

class HelperTest : public ::testing::Test {
  protected:
    void SetUp() override {
        vtxsim::ResetMachine();
        vtxsim::ClearFailures();
        vtxsim::SetWindowsVersion(vtxsim::WindowsVersion::Win98);
        ResetHelperState();
    }

    // The helper's whole run in this process, as the device installer starts it.
    int RunHelper(const std::string& commandLine) {
        std::vector<CHAR> buffer(commandLine.begin(), commandLine.end());
        buffer.push_back('\0');
        return WinMain(nullptr, nullptr, buffer.data(), SW_SHOWNORMAL);
    }

    // The device "Draftaire K9" / "AB12" as the command line gives it, with its model key path.
    void UseDevice(const std::string& model = "Draftaire K9", const std::string& serial = "AB12") {
        SetText(DeviceModel, model);
        SetText(DeviceSerial, serial);
        BuildModelKeyPath(ModelKeyPath, DeviceModel);
    }

    // The files the install needs in the system directory: the monitor library that
    // AddMonitorA requires and the helper's own program file that is copied.
    void PutSystemFiles() {
        vtxsim::PutFile("C:\\Windows\\System\\vtxpmo01.dll", "monitor");
        vtxsim::PutFile(kHelperFile, "helper");
    }

    // The model key's setup values; an empty optional leaves the value out.
    void WriteSetupValues(std::optional<std::string> root = "D:\\Setup",
                          std::optional<std::string> exec = "start.exe",
                          std::optional<std::string> parameters = "-s") {
        vtxsim::SetStringValue(kModelKey, "ProductID", "0042");
        if (root)
            vtxsim::SetStringValue(kModelKey, "SetupRootPath", *root);
        if (exec)
            vtxsim::SetStringValue(kModelKey, "SetupExecFile", *exec);
        if (parameters)
            vtxsim::SetStringValue(kModelKey, "SetupParameters", *parameters);
    }
};

} // namespace helper_test
