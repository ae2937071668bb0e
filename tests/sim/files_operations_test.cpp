// CopyFileA, DeleteFileA and the attributes: the error codes of Windows 98, read-only
// files protected, and nothing changed when a call fails.
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"
#include "support/markers.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using vtxtest::kMarker;
constexpr char kSource[] = "C:\\WINDOWS\\SYSTEM\\vtxinh01.exe";
constexpr char kCopy[] = "C:\\WINDOWS\\SYSTEM\\01234567.ex_";

class FileOperations : public vtxtest::MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        vtxsim::PutFile(kSource, "program");
    }

    static void ExpectFailure(BOOL result, DWORD error) {
        EXPECT_FALSE(result);
        EXPECT_EQ(GetLastError(), error);
    }
};

TEST_F(FileOperations, CopyFileCopiesAndReplacesUnlessToldNotTo) {
    SetLastError(kMarker);
    EXPECT_TRUE(CopyFileA("c:\\windows\\system\\VTXINH01.EXE", kCopy, FALSE));
    EXPECT_EQ(GetLastError(), kMarker);
    EXPECT_EQ(vtxsim::GetFileContents(kCopy), "program");

    vtxsim::PutFile(kSource, "newer");
    SetLastError(kMarker);
    ExpectFailure(CopyFileA(kSource, kCopy, TRUE), ERROR_FILE_EXISTS);
    EXPECT_EQ(vtxsim::GetFileContents(kCopy), "program");
    EXPECT_TRUE(CopyFileA(kSource, kCopy, FALSE));
    EXPECT_EQ(vtxsim::GetFileContents(kCopy), "newer");
}

TEST_F(FileOperations, CopyFileFailuresGiveTheirCodesAndLeaveTheDestination) {
    SetLastError(kMarker);
    ExpectFailure(CopyFileA("C:\\WINDOWS\\SYSTEM\\missing.exe", kCopy, FALSE),
                  ERROR_FILE_NOT_FOUND);
    SetLastError(kMarker);
    ExpectFailure(CopyFileA("C:\\Nowhere\\x.exe", kCopy, FALSE), ERROR_PATH_NOT_FOUND);
    SetLastError(kMarker);
    ExpectFailure(CopyFileA("C:\\WINDOWS\\SYSTEM\\", kCopy, FALSE), ERROR_ACCESS_DENIED);
    SetLastError(kMarker);
    ExpectFailure(CopyFileA(kSource, "C:\\Nowhere\\x.ex_", FALSE), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(vtxsim::FileExists(kCopy));

    vtxsim::PutFile(kCopy, "old copy");
    vtxsim::SetReadOnly(kCopy, true);
    SetLastError(kMarker);
    ExpectFailure(CopyFileA(kSource, kCopy, FALSE), ERROR_ACCESS_DENIED);
    EXPECT_EQ(vtxsim::GetFileContents(kCopy), "old copy");

    // A file copied onto itself stays whole.
    SetLastError(kMarker);
    ExpectFailure(CopyFileA(kSource, "C:\\windows\\system\\VTXINH01.exe", FALSE),
                  ERROR_SHARING_VIOLATION);
    EXPECT_EQ(vtxsim::GetFileContents(kSource), "program");
}

TEST_F(FileOperations, ACopyTakesTheReadOnlyAttributeOfItsSource) {
    vtxsim::SetReadOnly(kSource, true);
    ASSERT_TRUE(CopyFileA(kSource, kCopy, FALSE));
    EXPECT_EQ(GetFileAttributesA(kCopy), DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE});
}

TEST_F(FileOperations, DeleteFileRefusesReadOnlyFilesAndDirectories) {
    vtxsim::SetReadOnly(kSource, true);
    SetLastError(kMarker);
    ExpectFailure(DeleteFileA(kSource), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(vtxsim::FileExists(kSource));
    SetLastError(kMarker);
    ExpectFailure(DeleteFileA("C:\\WINDOWS\\SYSTEM"), ERROR_ACCESS_DENIED);
    SetLastError(kMarker);
    ExpectFailure(DeleteFileA("C:\\WINDOWS\\SYSTEM\\missing.dll"), ERROR_FILE_NOT_FOUND);
    SetLastError(kMarker);
    ExpectFailure(DeleteFileA("C:\\WINDOWS\\SYSTEM\\VMM32\\vtxvxu01.dll"), ERROR_PATH_NOT_FOUND);

    // Clearing read-only as the removal does: read the attributes, write them back without it.
    DWORD attributes = GetFileAttributesA(kSource);
    EXPECT_EQ(attributes, DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE});
    SetLastError(kMarker);
    EXPECT_TRUE(SetFileAttributesA(kSource, attributes & ~FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesA(kSource), DWORD{FILE_ATTRIBUTE_ARCHIVE});
    EXPECT_TRUE(DeleteFileA("c:\\Windows\\System\\VTXINH01.EXE"));
    EXPECT_EQ(GetLastError(), kMarker);
    EXPECT_FALSE(vtxsim::FileExists(kSource));
}

TEST_F(FileOperations, AttributesTellDirectoriesAndMissingFiles) {
    EXPECT_EQ(GetFileAttributesA("C:\\WINDOWS\\SYSTEM32\\DRIVERS"),
              DWORD{FILE_ATTRIBUTE_DIRECTORY});
    EXPECT_EQ(GetFileAttributesA("C:\\"), DWORD{FILE_ATTRIBUTE_DIRECTORY});
    SetLastError(kMarker);
    EXPECT_EQ(GetFileAttributesA("C:\\WINDOWS\\INF\\OTHER\\x.inf"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
    SetLastError(kMarker);
    ExpectFailure(SetFileAttributesA("C:\\WINDOWS\\INF\\OTHER\\x.inf", 0), ERROR_FILE_NOT_FOUND);
}

TEST_F(FileOperations, EveryFileFunctionFailsWithAnInjectedCodeAndChangesNothing) {
    vtxsim::PutFile(kCopy, "old copy");
    const std::vector<std::pair<std::string, std::function<bool()>>> calls = {
        {"CopyFileA", [] { return CopyFileA(kSource, kCopy, FALSE) != FALSE; }},
        {"DeleteFileA", [] { return DeleteFileA(kSource) != FALSE; }},
        {"SetFileAttributesA",
         [] { return SetFileAttributesA(kSource, FILE_ATTRIBUTE_READONLY) != FALSE; }},
        {"GetFileAttributesA",
         [] { return GetFileAttributesA(kSource) != INVALID_FILE_ATTRIBUTES; }},
    };
    const std::vector<std::string> before = vtxsim::FileTree();
    for (const auto& [name, call] : calls) {
        vtxsim::FailCall(name, 1, ERROR_GEN_FAILURE);
        SetLastError(kMarker);
        EXPECT_FALSE(call()) << name;
        EXPECT_EQ(GetLastError(), DWORD{ERROR_GEN_FAILURE}) << name;
    }
    EXPECT_EQ(vtxsim::FileTree(), before);
    EXPECT_EQ(vtxsim::GetFileContents(kCopy), "old copy");
    EXPECT_EQ(GetFileAttributesA(kSource), DWORD{FILE_ATTRIBUTE_ARCHIVE});
}

} // namespace
