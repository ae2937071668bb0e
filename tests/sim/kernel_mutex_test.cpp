// Named mutexes: one object per name for every process of the machine, re-entrant for the
// owning thread, exclusive between threads and processes, abandoned when the owner dies.
#include "platform/win32api.h"
#include "support/machine_fixture.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

class NamedMutexes : public vtxtest::MachineTest {};

const char* const kName = "Vtx Test\\Mutex";

// What another thread's wait on handle gives, with the timeout ms.
DWORD WaitFromAnotherThread(HANDLE handle, DWORD ms, bool release = false) {
    DWORD result = 0;
    std::thread other([&] {
        result = WaitForSingleObject(handle, ms);
        if (release)
            ReleaseMutex(handle);
    });
    other.join();
    return result;
}

TEST_F(NamedMutexes, ANameOpensOneObjectOwnedByOneThreadAtATime) {
    SetLastError(0x5a5a);
    HANDLE first = CreateMutexA(nullptr, TRUE, kName);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    SetLastError(0x5a5a);
    HANDLE second = CreateMutexA(nullptr, TRUE, kName);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    HANDLE otherName = CreateMutexA(nullptr, FALSE, "vtx test\\mutex"); // names keep their case
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

    // Owned since the first create; the owner takes it again through either handle.
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitFromAnotherThread(first, 20), WAIT_TIMEOUT);
    EXPECT_EQ(WaitFromAnotherThread(otherName, 0, true), WAIT_OBJECT_0);
    SetLastError(0x5a5a);
    std::thread notOwner([&] {
        EXPECT_FALSE(ReleaseMutex(first));
        EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    });
    notOwner.join();
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_EQ(WaitFromAnotherThread(first, 0), WAIT_TIMEOUT); // held once more
    EXPECT_TRUE(ReleaseMutex(second));
    EXPECT_EQ(WaitFromAnotherThread(first, 0, true), WAIT_OBJECT_0);
    EXPECT_FALSE(ReleaseMutex(first));

    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(CloseHandle(otherName));
    SetLastError(0x5a5a);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, std::string(MAX_PATH, 'm').c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);

    // Gone with its last handle: the name makes a new object.
    HANDLE again = CreateMutexA(nullptr, FALSE, kName);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    CloseHandle(again);
}

// A child process takes the mutex and tells the parent through a pipe; it ends, still the
// owner, when the parent closes its end.
TEST_F(NamedMutexes, AnotherProcessExcludesUsAndItsDeathAbandonsTheMutexToTheNextWaiter) {
    int owned[2];
    int done[2];
    ASSERT_EQ(pipe(owned), 0);
    ASSERT_EQ(pipe(done), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(done[1]);
        HANDLE mutex = CreateMutexA(nullptr, FALSE, kName);
        char byte = WaitForSingleObject(mutex, INFINITE) == WAIT_OBJECT_0 ? 'y' : 'n';
        (void)!write(owned[1], &byte, 1);
        (void)!read(done[0], &byte, 1);
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(owned[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'y');

    HANDLE mutex = CreateMutexA(nullptr, TRUE, kName);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS); // and so not owned at once
    EXPECT_EQ(WaitForSingleObject(mutex, 30), WAIT_TIMEOUT);
    EXPECT_FALSE(ReleaseMutex(mutex));

    close(done[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); // released properly this time
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
    close(owned[0]);
    close(owned[1]);
    close(done[0]);
}

// name with every byte but ASCII letters and digits written out as "%XX" text.
std::string SpelledOut(const std::string& name) {
    std::string text;
    for (unsigned char c : name) {
        if (std::isalnum(c) != 0) {
            text += static_cast<char>(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            text += escape;
        }
    }
    return text;
}

// Each name is an object of its own, whatever bytes two names hold: a name and the same name
// with its punctuation written out as escapes, names that differ in case or in Latin-1 letters.
RC_GTEST_FIXTURE_PROP(NamedMutexes, DifferentNamesNeverMeet, ()) {
    const std::string bytes = "%25aAE_-.&#\\/ \xC9\xE9";
    auto name = rc::gen::resize(
        6, rc::gen::nonEmpty(rc::gen::container<std::string>(rc::gen::elementOf(bytes))));
    const std::string first = *name;
    std::vector<std::string> names = {first, SpelledOut(first), *name};
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::vector<HANDLE> handles;
    bool eachNew = true;
    for (const std::string& text : names) {
        handles.push_back(CreateMutexA(nullptr, FALSE, text.c_str()));
        eachNew = eachNew && handles.back() != nullptr && GetLastError() == ERROR_SUCCESS;
    }
    handles.push_back(CreateMutexA(nullptr, FALSE, first.c_str()));
    const bool sameAgain = handles.back() != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    for (HANDLE handle : handles) {
        if (handle != nullptr)
            CloseHandle(handle);
    }
    RC_ASSERT(eachNew);
    RC_ASSERT(sameAgain);
}

} // namespace
