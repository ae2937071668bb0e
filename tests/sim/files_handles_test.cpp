// CreateFileA on the simulated drives: dispositions and their errors, share modes (0 is
// exclusive), read-only files, data through the handle.
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
constexpr char kFile[] = "C:\\WINDOWS\\launch.ini";

class FileHandles : public vtxtest::MachineTest {
  protected:
    static HANDLE Open(DWORD access, DWORD share, DWORD disposition, const char* path = kFile) {
        return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }
};

TEST_F(FileHandles, DispositionsCreateOpenAndTruncateAsWindowsDoes) {
    SetLastError(kMarker);
    EXPECT_EQ(Open(GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});

    SetLastError(kMarker);
    HANDLE created = Open(GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(created, "hello", 5, &written, nullptr));
    EXPECT_EQ(written, 5u);
    EXPECT_TRUE(CloseHandle(created));
    EXPECT_EQ(vtxsim::GetFileContents("c:\\windows\\LAUNCH.INI"), "hello");

    SetLastError(kMarker);
    EXPECT_EQ(Open(GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_EXISTS});

    SetLastError(kMarker);
    HANDLE opened = Open(GENERIC_READ, FILE_SHARE_READ, OPEN_ALWAYS);
    ASSERT_NE(opened, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ALREADY_EXISTS});
    char data[16] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(opened, data, sizeof data, &read, nullptr));
    EXPECT_EQ(std::string(data, read), "hello");
    SetLastError(kMarker);
    EXPECT_FALSE(WriteFile(opened, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED}) << "opened for reading only";
    CloseHandle(opened);

    HANDLE truncated = Open(GENERIC_WRITE, 0, TRUNCATE_EXISTING);
    ASSERT_NE(truncated, INVALID_HANDLE_VALUE);
    CloseHandle(truncated);
    EXPECT_EQ(vtxsim::GetFileContents(kFile), "");

    SetLastError(kMarker);
    HANDLE fresh = Open(GENERIC_WRITE, 0, CREATE_ALWAYS, "C:\\new.txt");
    ASSERT_NE(fresh, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0u);
    CloseHandle(fresh);

    SetLastError(kMarker);
    EXPECT_EQ(Open(GENERIC_READ, 0, OPEN_EXISTING, "C:\\WINDOWS"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
}

TEST_F(FileHandles, AnExclusiveOpenKeepsEveryOtherOpenOutUntilItIsClosed) {
    HANDLE exclusive = Open(GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    SetLastError(kMarker);
    EXPECT_EQ(Open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
    SetLastError(kMarker);
    EXPECT_FALSE(DeleteFileA(kFile));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
    EXPECT_TRUE(CloseHandle(exclusive));

    HANDLE reader1 = Open(GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    HANDLE reader2 = Open(GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(reader1, INVALID_HANDLE_VALUE);
    EXPECT_NE(reader2, INVALID_HANDLE_VALUE);
    SetLastError(kMarker);
    EXPECT_EQ(Open(GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION}) << "the readers do not share writing";
    SetLastError(kMarker);
    EXPECT_EQ(Open(GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION}) << "exclusive while others read";
    CloseHandle(reader1);
    CloseHandle(reader2);
    HANDLE again = Open(GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST_F(FileHandles, AReadOnlyFileOpensForReadingButNotForWriting) {
    vtxsim::PutFile(kFile, "kept");
    vtxsim::SetReadOnly(kFile, true);
    for (DWORD disposition : {DWORD{OPEN_EXISTING}, DWORD{CREATE_ALWAYS}}) {
        SetLastError(kMarker);
        EXPECT_EQ(Open(GENERIC_WRITE, 0, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    }
    HANDLE reader = Open(GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    EXPECT_EQ(vtxsim::GetFileContents(kFile), "kept");
}

TEST_F(FileHandles, AnInjectedFailureOpensNothing) {
    vtxsim::FailCall("CreateFileA", 1, ERROR_NOT_READY);
    SetLastError(kMarker);
    EXPECT_EQ(Open(GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_READY});
    EXPECT_FALSE(vtxsim::FileExists(kFile));
}

} // namespace
