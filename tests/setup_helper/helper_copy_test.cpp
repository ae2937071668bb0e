// Helper copy: the numbered temporary copy and the "RENAME" entry that moves it back at restart.
#include "helper_fixture.h"

#include <string>

namespace {

using helper_test::HelperTest;
using helper_test::kHelperFile;
using helper_test::kModelKey;
using helper_test::kWininit;

class HelperCopyTest : public HelperTest {
  protected:
    void SetUp() override {
        HelperTest::SetUp();
        UseDevice();
        PutSystemFiles();
    }

    static std::string Wininit() { return vtxsim::GetFileContents(kWininit).value_or("<none>"); }

    // The "RENAME" section's entries, one a line.
    static std::string RenameEntries() {
        std::string lines;
        for (const std::string& entry : vtxsim::RenameEntries())
            lines += entry + "\n";
        return lines;
    }
};

TEST_F(HelperCopyTest, TheTemporaryNameHasEightDigitsOfTheReducedTickCount) {
    struct Case {
        DWORD ticks;
        const char* name;
    };
    for (Case c : {Case{1234567, "C:\\Windows\\System\\01234567.ex_"},
                   Case{99999999, "C:\\Windows\\System\\99999999.ex_"},
                   Case{100000000, "C:\\Windows\\System\\00000001.ex_"},
                   Case{199999998, "C:\\Windows\\System\\99999999.ex_"},
                   Case{0, "C:\\Windows\\System\\00000000.ex_"},
                   Case{0xFFFFFFFF, "C:\\Windows\\System\\94967337.ex_"}}) {
        vtxsim::ResetMachine();
        PutSystemFiles();
        vtxsim::SetTickCount(c.ticks);
        EXPECT_EQ(CopyHelperForRestart(), 0u) << c.ticks;
        EXPECT_EQ(vtxsim::GetFileContents(c.name), "helper") << c.ticks;
        EXPECT_EQ(RenameEntries(), std::string(kHelperFile) + "=" + c.name + "\n") << c.ticks;
    }
}

TEST_F(HelperCopyTest, EntriesAreAppendedBehindTheSectionsOwn) {
    vtxsim::SetTickCount(1234567);
    vtxsim::PutFile(kWininit, "[RENAME]\r\nNUL=C:\\Windows\\System\\vtxinh01.exe\r\n");
    EXPECT_EQ(CopyHelperForRestart(), 0u);
    vtxsim::SetTickCount(1234568);
    EXPECT_EQ(CopyHelperForRestart(), 0u);
    EXPECT_EQ(RenameEntries(),
              "NUL=C:\\Windows\\System\\vtxinh01.exe\n"
              "C:\\Windows\\System\\vtxinh01.exe=C:\\Windows\\System\\01234567.ex_\n"
              "C:\\Windows\\System\\vtxinh01.exe=C:\\Windows\\System\\01234568.ex_\n");

    // At restart the copy moves back over the file the deletion entry removed.
    vtxsim::RestartMachine();
    EXPECT_TRUE(vtxsim::FileExists(kHelperFile));
}

TEST_F(HelperCopyTest, AFullSectionIsNeverWrittenBackShortened) {
    std::string section = "[RENAME]\r\n";
    for (int i = 0; section.size() < 40000; i++)
        section += "NUL=C:\\Windows\\System\\old" + std::to_string(i) + ".ex_\r\n";
    vtxsim::PutFile(kWininit, section);
    EXPECT_EQ(AppendRenameEntry("NUL", "C:\\x.dll"), 1003u);
    EXPECT_EQ(Wininit(), section);

    // The helper's copy is then made, but reported as not queued.
    vtxsim::SetTickCount(1234567);
    EXPECT_EQ(CopyHelperForRestart(), 1003u);
    EXPECT_EQ(Wininit(), section);
}

TEST_F(HelperCopyTest, ASectionWithAnEntryThatReadsEmptyIsNotWrittenBack) {
    // A zero byte opening a line reads as an empty entry, which ends the section's list: written
    // back, the entries behind it and the new one would be gone.
    for (const std::string& section :
         {std::string("[RENAME]\r\nNUL=C:\\a.dll\r\n\0junk\r\nNUL=C:\\b.dll\r\n", 45),
          std::string("[RENAME\n\0[RENAME\n\0", 18)}) {
        vtxsim::PutFile(kWininit, section);
        EXPECT_EQ(AppendRenameEntry("NUL", "C:\\x.dll"), 1003u);
        EXPECT_EQ(Wininit(), section);
    }

    // A zero byte inside an entry only splits it; nothing is lost.
    vtxsim::PutFile(kWininit, std::string("[RENAME]\r\nNUL=C:\\a\0b.dll\r\n", 26));
    EXPECT_EQ(AppendRenameEntry("NUL", "C:\\x.dll"), 0u);
    EXPECT_EQ(RenameEntries(), "NUL=C:\\a\nb.dll\nNUL=C:\\x.dll\n");
}

TEST_F(HelperCopyTest, ATakenBackDeletionLeavesEveryOtherEntryInItsOrder) {
    const char* const library = "C:\\Windows\\System\\VMM32\\vtxvxu01.dll";
    // Nothing to take back: the file is not written.
    EXPECT_EQ(TakeBackQueuedDeletion(library), 0u);
    EXPECT_EQ(Wininit(), "<none>");
    const std::string others = "[Boot]\r\nshell=Explorer.exe\r\n[RENAME]\r\nNUL=C:\\a.dll\r\n";
    vtxsim::PutFile(kWininit, others);
    EXPECT_EQ(TakeBackQueuedDeletion(library), 0u);
    EXPECT_EQ(Wininit(), others);

    // Each deletion of the file goes, whatever the letter case; moves onto it and deletions of
    // other files stay, in their order.
    vtxsim::PutFile(kWininit, "[RENAME]\r\nNUL=C:\\Windows\\System\\vtxinh01.exe\r\n"
                              "NUL=C:\\Windows\\System\\VMM32\\vtxvxu01.dll\r\n"
                              "C:\\Windows\\System\\VMM32\\vtxvxu01.dll=C:\\new.dll\r\n"
                              "nul=c:\\windows\\system\\vmm32\\VTXVXU01.DLL\r\n"
                              "NUL=C:\\Windows\\System\\VMM32\\vtxvxu01.dll.old\r\n");
    EXPECT_EQ(TakeBackQueuedDeletion(library), 0u);
    EXPECT_EQ(RenameEntries(), "NUL=C:\\Windows\\System\\vtxinh01.exe\n"
                               "C:\\Windows\\System\\VMM32\\vtxvxu01.dll=C:\\new.dll\n"
                               "NUL=C:\\Windows\\System\\VMM32\\vtxvxu01.dll.old\n");
    // The only entry taken back leaves the section empty.
    vtxsim::PutFile(kWininit, "[RENAME]\r\nNUL=C:\\Windows\\System\\VMM32\\vtxvxu01.dll\r\n");
    EXPECT_EQ(TakeBackQueuedDeletion(library), 0u);
    EXPECT_EQ(RenameEntries(), "");

    // A section that cannot be written back whole is left as it is.
    std::string full = "[RENAME]\r\nNUL=C:\\Windows\\System\\VMM32\\vtxvxu01.dll\r\n";
    for (int i = 0; full.size() < 40000; i++)
        full += "NUL=C:\\Windows\\System\\old" + std::to_string(i) + ".ex_\r\n";
    vtxsim::PutFile(kWininit, full);
    EXPECT_EQ(TakeBackQueuedDeletion(library), 1003u);
    EXPECT_EQ(Wininit(), full);
}

TEST_F(HelperCopyTest, TheSourceIsTheExecFileOfTheModelWhenItCanBeRead) {
    vtxsim::SetTickCount(1234567);
    vtxsim::SetStringValue(kModelKey, "ExecFile", "vtxcls01.dll");
    vtxsim::PutFile("C:\\Windows\\System\\vtxcls01.dll", "library");
    EXPECT_EQ(CopyHelperForRestart(), 0u);
    EXPECT_EQ(RenameEntries(),
              "C:\\Windows\\System\\vtxcls01.dll=C:\\Windows\\System\\01234567.ex_\n");

    // Empty: the directory itself cannot be copied; nothing is queued.
    vtxsim::ResetMachine();
    vtxsim::SetStringValue(kModelKey, "ExecFile", "");
    EXPECT_EQ(CopyHelperForRestart(), 266u);
    EXPECT_EQ(Wininit(), "<none>");

    // Missing source file: 266, nothing queued.
    vtxsim::ResetMachine();
    EXPECT_EQ(CopyHelperForRestart(), 266u);
    EXPECT_EQ(Wininit(), "<none>");
}

TEST_F(HelperCopyTest, AnExecFileOrEntryThatDoesNotFitIsRefusedBeforeAnythingIsCopied) {
    vtxsim::SetTickCount(1234567);
    // 18 + 229 = 247 characters fit the source path, but not the entry behind it (277).
    std::string longName = std::string(225, 'f') + ".exe";
    vtxsim::SetStringValue(kModelKey, "ExecFile", longName);
    vtxsim::PutFile("C:\\Windows\\System\\" + longName, "long");
    EXPECT_EQ(CopyHelperForRestart(), 266u);
    EXPECT_FALSE(vtxsim::FileExists("C:\\Windows\\System\\01234567.ex_"));
    EXPECT_EQ(Wininit(), "<none>");

    // 18 + 250 does not fit the source path at all: not cut to another file's name.
    vtxsim::SetStringValue(kModelKey, "ExecFile", std::string(250, 'g'));
    EXPECT_EQ(CopyHelperForRestart(), 266u);
    EXPECT_FALSE(vtxsim::FileExists("C:\\Windows\\System\\01234567.ex_"));

    // "NUL=" and a path of 255 characters fill the entry's 259.
    EXPECT_EQ(AppendRenameEntry("NUL", std::string(256, 'v').c_str()), 1003u);
    EXPECT_EQ(Wininit(), "<none>");
    EXPECT_EQ(AppendRenameEntry("NUL", std::string(255, 'v').c_str()), 0u);
}

} // namespace
