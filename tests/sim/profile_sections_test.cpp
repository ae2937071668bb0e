// Profile sections as Windows 9x hands them out and takes them back: "k=v\0...\0\0", the
// count before the final zero, the cut to size - 2, the 32767-character limit, and whole
// sections replaced or created.
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"
#include "support/markers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using vtxtest::kMarker;
constexpr char kWininit[] = "C:\\WINDOWS\\wininit.ini";

class ProfileSections : public vtxtest::MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        buffer_.assign(64, '#');
    }

    DWORD GetSection(const char* section, DWORD size) {
        return GetPrivateProfileSectionA(section, buffer_.data(), size, "wininit.ini");
    }
    // The list with its final zero.
    std::string Returned(DWORD count) const { return std::string(buffer_.data(), count + 1); }

    std::vector<char> buffer_;
};

TEST_F(ProfileSections, ASectionComesBackAsZeroSeparatedEntriesCountedBeforeTheFinalZero) {
    vtxsim::PutFile(kWininit, "[RENAME]\r\nNUL=C:\\x.dll\r\n");
    EXPECT_EQ(GetSection("RENAME", 64), 13u);
    EXPECT_EQ(Returned(13), std::string("NUL=C:\\x.dll\0\0", 14));
    EXPECT_EQ(buffer_[14], '#') << "nothing written behind the list";

    vtxsim::PutFile(kWininit, "; comment\r\n[Other]\r\na=1\r\n[rename]\r\n  NUL = C:\\a.dll \r\n"
                              "\r\nC:\\b.exe=C:\\c.ex_\r\n[Next]\r\nz=9\r\n");
    DWORD count = GetSection("Rename", 64);
    EXPECT_EQ(Returned(count), std::string("NUL=C:\\a.dll\0C:\\b.exe=C:\\c.ex_\0\0", 32));

    // A missing section, a missing file: nothing, as an empty list.
    buffer_.assign(64, '#');
    EXPECT_EQ(GetSection("Missing", 64), 0u);
    EXPECT_EQ(buffer_[0], '\0');
    vtxsim::ResetMachine();
    EXPECT_EQ(GetSection("RENAME", 64), 0u);
}

TEST_F(ProfileSections, AListThatDoesNotFitIsCutToSizeMinusTwoWithTwoZeros) {
    vtxsim::PutFile(kWininit, "[RENAME]\r\nNUL=C:\\x.dll\r\nNUL=C:\\y.dll\r\n");
    // The whole list needs 27 characters: 26 and the final zero.
    EXPECT_EQ(GetSection("RENAME", 27), 26u);
    buffer_.assign(64, '#');
    EXPECT_EQ(GetSection("RENAME", 26), 24u);
    EXPECT_EQ(std::string(buffer_.data(), 26), std::string("NUL=C:\\x.dll\0NUL=C:\\y.dl\0\0", 26));
    EXPECT_EQ(buffer_[26], '#');
    EXPECT_EQ(GetSection("RENAME", 13), 11u);
    EXPECT_EQ(std::string(buffer_.data(), 13), std::string("NUL=C:\\x.dl\0\0", 13));

    // Windows 9x offers at most 32767 characters, whatever the buffer.
    std::string text = "[RENAME]\r\n";
    for (int i = 0; i < 1000; i++)
        text += "NUL=C:\\WINDOWS\\SYSTEM\\file" + std::to_string(10000 + i) + ".dll\r\n";
    vtxsim::PutFile(kWininit, text);
    std::vector<char> big(40000, '#');
    EXPECT_EQ(GetPrivateProfileSectionA("RENAME", big.data(), 40000, "wininit.ini"), 32765u);
    EXPECT_EQ(big[32765], '\0');
    EXPECT_EQ(big[32766], '\0');
    EXPECT_EQ(big[32767], '#');
}

TEST_F(ProfileSections, WritingASectionReplacesItsEntriesOrAddsItAtTheEnd) {
    vtxsim::PutFile(kWininit, "[Before]\r\nb=1\r\n\r\n[RENAME]\r\nold=1\r\nNUL=old\r\n\r\n"
                              "[After]\r\na=2\r\n");
    const char entries[] = "NUL=C:\\one.dll\0NUL=C:\\two.dll\0dest=src\0";
    SetLastError(kMarker);
    EXPECT_TRUE(WritePrivateProfileSectionA("rename", entries, "wininit.ini"));
    EXPECT_EQ(GetLastError(), kMarker);
    EXPECT_EQ(vtxsim::GetFileContents(kWininit),
              "[Before]\r\nb=1\r\n\r\n[RENAME]\r\nNUL=C:\\one.dll\r\nNUL=C:\\two.dll\r\n"
              "dest=src\r\n\r\n[After]\r\na=2\r\n");

    EXPECT_TRUE(WritePrivateProfileSectionA("New", "k=v\0", "wininit.ini"));
    std::string after = *vtxsim::GetFileContents(kWininit);
    EXPECT_EQ(after.substr(after.find("[After]")), "[After]\r\na=2\r\n[New]\r\nk=v\r\n");
    // A section written to a file that does not exist yet makes the file.
    EXPECT_TRUE(WritePrivateProfileSectionA("RENAME", "NUL=C:\\x\0", "C:\\fresh.ini"));
    EXPECT_EQ(vtxsim::GetFileContents("C:\\fresh.ini"), "[RENAME]\r\nNUL=C:\\x\r\n");
}

TEST_F(ProfileSections, AnEntryAppendedBehindTheSectionKeepsEveryEarlierEntryInOrder) {
    // What the helper does to queue a rename: read the section, add one entry, write it back.
    vtxsim::PutFile(kWininit, "[RENAME]\r\nNUL=C:\\WINDOWS\\SYSTEM\\vtxinh01.exe\r\n");
    std::vector<char> section(33028, '\0');
    DWORD count = GetPrivateProfileSectionA("RENAME", section.data(), 32767, "wininit.ini");
    std::string entry = "C:\\WINDOWS\\SYSTEM\\vtxinh01.exe=C:\\WINDOWS\\SYSTEM\\01234567.ex_";
    entry.copy(section.data() + count, entry.size());
    section[count + entry.size()] = '\0';
    section[count + entry.size() + 1] = '\0';
    ASSERT_TRUE(WritePrivateProfileSectionA("RENAME", section.data(), "wininit.ini"));
    EXPECT_EQ(vtxsim::GetFileContents(kWininit),
              "[RENAME]\r\nNUL=C:\\WINDOWS\\SYSTEM\\vtxinh01.exe\r\n" + entry + "\r\n");
}

TEST_F(ProfileSections, SectionFunctionsFailWithInjectedOrFileErrorsAndChangeNothing) {
    const std::string before = "[RENAME]\r\nNUL=C:\\x.dll\r\n";
    vtxsim::PutFile(kWininit, before);

    vtxsim::FailCall("GetPrivateProfileSectionA", 1, ERROR_ACCESS_DENIED);
    SetLastError(kMarker);
    EXPECT_EQ(GetSection("RENAME", 64), 0u);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    EXPECT_EQ(buffer_[0], '\0');

    vtxsim::FailCall("WritePrivateProfileSectionA", 1, ERROR_ACCESS_DENIED);
    SetLastError(kMarker);
    EXPECT_FALSE(WritePrivateProfileSectionA("RENAME", "a=b\0", "wininit.ini"));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});

    vtxsim::SetReadOnly(kWininit, true);
    SetLastError(kMarker);
    EXPECT_FALSE(WritePrivateProfileSectionA("RENAME", "a=b\0", "wininit.ini"));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    EXPECT_EQ(vtxsim::GetFileContents(kWininit), before);

    SetLastError(kMarker);
    EXPECT_FALSE(WritePrivateProfileSectionA("RENAME", "a=b\0", "C:\\Nowhere\\x.ini"));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_PATH_NOT_FOUND});
    EXPECT_FALSE(vtxsim::FileExists("C:\\Nowhere"));

    // An entry that would start a section of its own, or break a line, is refused.
    vtxsim::SetReadOnly(kWininit, false);
    SetLastError(kMarker);
    EXPECT_FALSE(WritePrivateProfileSectionA("RENAME", "a=b\0[boot]\0", "wininit.ini"));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_FALSE(WritePrivateProfileSectionA("RENAME", "a=b\r\n[boot]\0", "wininit.ini"));
    EXPECT_EQ(vtxsim::GetFileContents(kWininit), before);
}

} // namespace
