// Windows paths on the simulated drives: case-insensitive names that keep their case,
// "." and "..", both separators, the fresh machine's directories, missing files and dirs.
#include "platform/sim/files.h"
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"
#include "support/markers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using vtxtest::kMarker;

class FilePaths : public vtxtest::MachineTest {};

TEST_F(FilePaths, AFreshMachineHasTheWindowsDirectoriesOnly) {
    vtxsim::PutFile("C:\\Temp\\left-over.txt", "x");
    vtxsim::PutFile("D:\\other.txt", "x");
    vtxsim::ResetMachine();
    EXPECT_EQ(vtxsim::FileTree(), (std::vector<std::string>{
                                      "C:\\WINDOWS",
                                      "C:\\WINDOWS\\INF",
                                      "C:\\WINDOWS\\INF\\OTHER",
                                      "C:\\WINDOWS\\SYSTEM",
                                      "C:\\WINDOWS\\SYSTEM32",
                                      "C:\\WINDOWS\\SYSTEM32\\DRIVERS",
                                  }));
}

TEST_F(FilePaths, NamesMatchWithoutRegardToCaseAndKeepTheCaseTheyWereCreatedWith) {
    vtxsim::PutFile("c:\\windows\\system\\VtxPmo01.Dll", "monitor");
    EXPECT_EQ(vtxsim::GetFileContents("C:\\WINDOWS\\SYSTEM\\VTXPMO01.DLL"), "monitor");
    EXPECT_EQ(vtxsim::GetFileContents("c:/Windows/./Inf/../System//vtxpmo01.dll"), "monitor");
    EXPECT_TRUE(sim::WindowsFileExists("C:\\Windows\\System\\vtxpmo01.dll"));
    EXPECT_TRUE(sim::WindowsFileExists("\\Windows\\System\\vtxpmo01.dll")); // no drive: C:
    EXPECT_EQ(vtxsim::HostPath("C:\\Windows\\System\\vtxpmo01.dll"),
              vtxsim::MachineDirectory() / "drive_c" / "WINDOWS" / "SYSTEM" / "VtxPmo01.Dll");
    std::vector<std::string> tree = vtxsim::FileTree();
    EXPECT_NE(std::find(tree.begin(), tree.end(), "C:\\WINDOWS\\SYSTEM\\VtxPmo01.Dll"), tree.end());
    // Latin-1 letters fold as well.
    vtxsim::PutFile("C:\\\xC9t\xC9.txt", "summer");
    EXPECT_EQ(vtxsim::GetFileContents("C:\\\xE9t\xE9.TXT"), "summer");
}

TEST_F(FilePaths, MissingFilesDirectoriesAndBadNamesGiveTheirErrors) {
    DWORD error = kMarker;
    EXPECT_FALSE(sim::HostPathFor("C:\\Windows\\nothing.txt", &error).empty());
    EXPECT_EQ(error, 0u);
    EXPECT_TRUE(sim::HostPathFor("C:\\Nowhere\\nothing.txt", &error).empty());
    EXPECT_EQ(error, DWORD{ERROR_PATH_NOT_FOUND});
    EXPECT_TRUE(sim::HostPathFor("Q:\\file.txt", &error).empty());
    EXPECT_EQ(error, DWORD{ERROR_PATH_NOT_FOUND});
    EXPECT_TRUE(sim::HostPathFor("C:\\Windows\\a?b", &error).empty());
    EXPECT_EQ(error, DWORD{ERROR_INVALID_NAME});
    EXPECT_TRUE(sim::HostPathFor("C:\\" + std::string(300, 'a'), &error).empty());
    EXPECT_EQ(error, DWORD{ERROR_FILENAME_EXCED_RANGE});
    // A file used as a directory.
    vtxsim::PutFile("C:\\plain.txt", "");
    EXPECT_TRUE(sim::HostPathFor("C:\\plain.txt\\inner", &error).empty());
    EXPECT_EQ(error, DWORD{ERROR_PATH_NOT_FOUND});

    SetLastError(kMarker);
    EXPECT_EQ(GetFileAttributesA("C:\\Windows\\nothing.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
    SetLastError(kMarker);
    EXPECT_EQ(GetFileAttributesA("C:\\Nowhere\\nothing.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_PATH_NOT_FOUND});
    SetLastError(kMarker);
    EXPECT_EQ(CreateFileA("C:\\Nowhere\\x", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_PATH_NOT_FOUND});
    SetLastError(kMarker);
    EXPECT_EQ(CreateFileA("C:\\Windows\\x", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
}

} // namespace
