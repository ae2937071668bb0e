// Single profile keys: read with defaults, replaced in place, added at the end of their
// section, deleted; names without regard to case; a bare file name in the Windows directory.
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"
#include "support/markers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using vtxtest::kMarker;
constexpr char kIni[] = "C:\\WINDOWS\\test.ini";

class ProfileStrings : public vtxtest::MachineTest {
  protected:
    std::string Get(const char* section, const char* key, const char* fallback = "none",
                    DWORD size = sizeof buffer_) {
        std::fill(std::begin(buffer_), std::end(buffer_), '#');
        count_ = GetPrivateProfileStringA(section, key, fallback, buffer_, size, "test.ini");
        return std::string(buffer_, count_);
    }

    char buffer_[64];
    DWORD count_ = 0;
};

TEST_F(ProfileStrings, ABareFileNameMeansTheWindowsDirectory) {
    EXPECT_TRUE(WritePrivateProfileStringA("RENAME", "NUL", "C:\\x.dll", "wininit.ini"));
    EXPECT_EQ(vtxsim::GetFileContents("C:\\WINDOWS\\wininit.ini"), "[RENAME]\r\nNUL=C:\\x.dll\r\n");
    EXPECT_TRUE(WritePrivateProfileStringA("s", "k", "v", "C:\\WINDOWS\\SYSTEM\\other.ini"));
    EXPECT_TRUE(vtxsim::FileExists("C:\\WINDOWS\\SYSTEM\\other.ini"));
    EXPECT_FALSE(vtxsim::FileExists("C:\\WINDOWS\\other.ini"));
}

TEST_F(ProfileStrings, KeysAreReadWithoutRegardToCaseAndDefaultsFillTheRest) {
    vtxsim::PutFile(kIni, "[Setup]\r\nPath = C:\\Setup \r\nQuoted=\"a b\"\r\nNUL=first\r\n"
                          "NUL=second\r\n");
    EXPECT_EQ(Get("SETUP", "path"), "C:\\Setup");
    EXPECT_EQ(Get("setup", "Quoted"), "a b");
    EXPECT_EQ(Get("Setup", "nul"), "first") << "the first of duplicate keys";
    SetLastError(kMarker);
    EXPECT_EQ(Get("Setup", "Missing", "fallback  "), "fallback");
    EXPECT_EQ(Get("Nowhere", "Path", nullptr), "");
    EXPECT_EQ(buffer_[0], '\0');
    // Cut to the buffer, with its terminator.
    EXPECT_EQ(Get("Setup", "Path", "", 5), "C:\\S");
    EXPECT_EQ(buffer_[4], '\0');
    EXPECT_EQ(buffer_[5], '#');
    // NULL key: the section's keys, duplicates included.
    Get("Setup", nullptr);
    EXPECT_EQ(std::string(buffer_, count_ + 1), std::string("Path\0Quoted\0NUL\0NUL\0\0", 21));
}

TEST_F(ProfileStrings, WritingAKeyReplacesTheFirstOfItsNameOrAddsItAtTheEndOfItsSection) {
    vtxsim::PutFile(kIni, "[A]\r\nKey=old\r\nnul=x\r\nNUL=y\r\n\r\n[B]\r\nb=1\r\n");
    SetLastError(kMarker);
    EXPECT_TRUE(WritePrivateProfileStringA("a", "KEY", "new", "test.ini"));
    EXPECT_EQ(GetLastError(), kMarker);
    EXPECT_TRUE(WritePrivateProfileStringA("A", "NUL", "z", "test.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("A", "added", "1", "test.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("C", "c", "3", "test.ini"));
    EXPECT_EQ(vtxsim::GetFileContents(kIni),
              "[A]\r\nKey=new\r\nnul=z\r\nNUL=y\r\nadded=1\r\n\r\n[B]\r\nb=1\r\n[C]\r\nc=3\r\n");
}

TEST_F(ProfileStrings, ANullValueDeletesTheKeyAndANullKeyTheSection) {
    vtxsim::PutFile(kIni, "[A]\r\nk=1\r\nj=2\r\n[B]\r\nb=1\r\n");
    EXPECT_TRUE(WritePrivateProfileStringA("A", "K", nullptr, "test.ini"));
    EXPECT_EQ(vtxsim::GetFileContents(kIni), "[A]\r\nj=2\r\n[B]\r\nb=1\r\n");
    EXPECT_TRUE(WritePrivateProfileStringA("a", nullptr, nullptr, "test.ini"));
    EXPECT_EQ(vtxsim::GetFileContents(kIni), "[B]\r\nb=1\r\n");
    // Deleting what is not there succeeds and creates nothing.
    EXPECT_TRUE(WritePrivateProfileStringA("B", "none", nullptr, "test.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA("X", nullptr, nullptr, "absent.ini"));
    EXPECT_FALSE(vtxsim::FileExists("C:\\WINDOWS\\absent.ini"));
}

TEST_F(ProfileStrings, WritesFailWithInjectedAndFileErrorsAndKeepTheFile) {
    const std::string before = "[A]\r\nk=1\r\n";
    vtxsim::PutFile(kIni, before);
    vtxsim::FailCall("WritePrivateProfileStringA", 1, ERROR_WRITE_FAULT);
    SetLastError(kMarker);
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "2", "test.ini"));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_WRITE_FAULT});

    vtxsim::FailCall("GetPrivateProfileStringA", 1, ERROR_ACCESS_DENIED);
    SetLastError(kMarker);
    EXPECT_EQ(Get("A", "k"), "");
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});

    vtxsim::SetReadOnly(kIni, true);
    SetLastError(kMarker);
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "2", "test.ini"));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    vtxsim::SetReadOnly(kIni, false);

    // A key or value that would break the file's lines is refused.
    SetLastError(kMarker);
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "2\r\n[B]", "test.ini"));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_FALSE(WritePrivateProfileStringA("A", "[B]", "2", "test.ini"));
    EXPECT_FALSE(WritePrivateProfileStringA("A", "a=b", "2", "test.ini"));
    EXPECT_EQ(vtxsim::GetFileContents(kIni), before);
}

} // namespace
