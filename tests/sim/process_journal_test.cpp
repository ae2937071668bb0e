// CreateProcessA on the simulated machine: a start is recorded in the machine's journal, never
// run; a missing program or directory is refused with Windows' codes.
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/process_ctl.h"
#include "platform/win32api.h"
#include "support/machine_directory.h"
#include "support/machine_fixture.h"
#include "support/markers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using vtxtest::kMarker;
constexpr DWORD kErrorDirectory = 267;
HANDLE const kMarkerHandle = reinterpret_cast<HANDLE>(0x5A5A5A5A);

struct Start {
    BOOL ok;
    DWORD error;
    PROCESS_INFORMATION info;
};

Start StartProgram(const char* application, std::string commandLine, const char* directory) {
    STARTUPINFOA startup{};
    startup.cb = 68;
    Start result{};
    result.info = {kMarkerHandle, kMarkerHandle, kMarker, kMarker};
    SetLastError(kMarker);
    result.ok = CreateProcessA(application, commandLine.data(), nullptr, nullptr, FALSE,
                               NORMAL_PRIORITY_CLASS, nullptr, directory, &startup, &result.info);
    result.error = GetLastError();
    return result;
}

class ProcessJournalTest : public vtxtest::MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        vtxsim::PutFile("D:\\setup.exe", "the maker's setup");
        vtxsim::MakeDirectory("D:\\Setup");
    }
};

TEST_F(ProcessJournalTest, AStartIsRecordedWithItsArgumentsAndGivesClosableHandles) {
    const std::string commandLine = " -a\"USB\\Draftaire K9\\AB12\" -b\"Draftaire K9\"";
    Start start = StartProgram("D:\\Setup\\..\\setup.exe", commandLine, "D:\\Setup\\..\\");
    ASSERT_TRUE(start.ok) << start.error;
    EXPECT_EQ(start.error, kMarker);

    std::vector<vtxsim::ProcessStart> journal = vtxsim::ProcessJournal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].source, "CreateProcessA");
    EXPECT_EQ(journal[0].application, "D:\\Setup\\..\\setup.exe");
    EXPECT_EQ(journal[0].commandLine, commandLine);
    EXPECT_EQ(journal[0].currentDirectory, "D:\\Setup\\..\\");
    EXPECT_EQ(journal[0].creationFlags, static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(journal[0].startupInfoSize, 68u);
    EXPECT_TRUE(journal[0].started);
    EXPECT_EQ(journal[0].processId, start.info.dwProcessId);

    EXPECT_NE(start.info.hProcess, kMarkerHandle);
    EXPECT_NE(start.info.hThread, kMarkerHandle);
    EXPECT_TRUE(CloseHandle(start.info.hProcess));
    EXPECT_TRUE(CloseHandle(start.info.hThread));
    SetLastError(kMarker);
    EXPECT_FALSE(CloseHandle(start.info.hProcess));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    // A second start is a second record with a process id of its own.
    Start second = StartProgram("D:\\SETUP.EXE", "", nullptr);
    ASSERT_TRUE(second.ok);
    EXPECT_NE(second.info.dwProcessId, start.info.dwProcessId);
    EXPECT_EQ(vtxsim::ProcessJournal().size(), 2u);
    CloseHandle(second.info.hProcess);
    CloseHandle(second.info.hThread);

    vtxsim::ClearProcessJournal();
    EXPECT_TRUE(vtxsim::ProcessJournal().empty());
}

TEST_F(ProcessJournalTest, WhatCannotStartIsRefusedAndNotRecorded) {
    Start missing = StartProgram("D:\\Setup\\setup.exe", "", nullptr);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(missing.info.hProcess, kMarkerHandle); // left untouched

    Start badDirectory = StartProgram("D:\\setup.exe", "", "D:\\Nowhere\\");
    EXPECT_FALSE(badDirectory.ok);
    EXPECT_EQ(badDirectory.error, kErrorDirectory);

    Start aDirectory = StartProgram("D:\\Setup", "", nullptr);
    EXPECT_FALSE(aDirectory.ok);
    EXPECT_EQ(aDirectory.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    PROCESS_INFORMATION info{};
    SetLastError(kMarker);
    EXPECT_FALSE(CreateProcessA("D:\\setup.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, nullptr, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    vtxsim::FailCall("CreateProcessA", 1, ERROR_NOT_ENOUGH_MEMORY);
    Start injected = StartProgram("D:\\setup.exe", "", nullptr);
    EXPECT_FALSE(injected.ok);
    EXPECT_EQ(injected.error, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));

    EXPECT_TRUE(vtxsim::ProcessJournal().empty());
}

TEST_F(ProcessJournalTest, WithoutAnApplicationNameTheCommandLineNamesTheProgram) {
    vtxsim::PutFile("C:\\Program Files\\Maker\\start.exe", "x");
    vtxsim::PutFile("C:\\Windows\\notepad.exe", "x");

    ASSERT_TRUE(
        StartProgram(nullptr, "C:\\Program Files\\Maker\\start.exe -vtregistry=K9\\AB12", nullptr)
            .ok);
    ASSERT_TRUE(StartProgram(nullptr, "\"C:\\Program Files\\Maker\\start\" -x", nullptr).ok);
    ASSERT_TRUE(StartProgram(nullptr, "notepad readme.txt", nullptr).ok);
    Start missing = StartProgram(nullptr, "C:\\Program Files\\Other\\start.exe", nullptr);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    std::vector<vtxsim::ProcessStart> journal = vtxsim::ProcessJournal();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[0].application, "C:\\Program Files\\Maker\\start.exe");
    EXPECT_EQ(journal[1].application, "C:\\Program Files\\Maker\\start.exe");
    EXPECT_EQ(journal[2].application, "C:\\WINDOWS\\notepad.exe");
    EXPECT_EQ(journal[2].commandLine, "notepad readme.txt");
}

TEST_F(ProcessJournalTest, TheJournalLivesInTheMachineDirectory) {
    vtxtest::MachineDirectory machine;
    const std::filesystem::path& dir = machine.Path();
    vtxsim::ResetMachine();
    vtxsim::PutFile("D:\\setup.exe", "x");
    ASSERT_TRUE(StartProgram("D:\\setup.exe", "\t-tab\\ and \"quotes\"", nullptr).ok);
    EXPECT_TRUE(std::filesystem::exists(dir / "journal"));

    vtxsim::UseMachine({}); // another machine has a journal of its own
    EXPECT_TRUE(vtxsim::ProcessJournal().empty());
    vtxsim::UseMachine(dir);
    std::vector<vtxsim::ProcessStart> journal = vtxsim::ProcessJournal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].commandLine, "\t-tab\\ and \"quotes\"");

    // A record cut short by a process that died while writing it is no start, and the next
    // start is not glued to it.
    {
        std::ofstream cut(dir / "journal", std::ios::binary | std::ios::app);
        cut << "CreateProcessA\tD:\\set";
    }
    EXPECT_EQ(vtxsim::ProcessJournal().size(), 1u);
    ASSERT_TRUE(StartProgram("D:\\setup.exe", "again", nullptr).ok);
    journal = vtxsim::ProcessJournal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[1].commandLine, "again");

    vtxsim::ResetMachine();
    EXPECT_TRUE(vtxsim::ProcessJournal().empty());
}

} // namespace
