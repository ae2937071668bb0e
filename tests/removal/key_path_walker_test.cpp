// The key path walker: which handles it keeps on the parent key stack after full and broken
// walks, how it unwinds, and which paths it refuses.
#include "platform/sim/control/simctl.h"
#include "setup_helper/removal/removal.h"
#include "support/machine_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

class KeyPathWalker : public vtxtest::MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        ParentKeyStack.count = 0;
        vtxsim::ImportRegText("REGEDIT4\n\n"
                              "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class]\n"
                              "\"Mark\"=\"services-class\"\n\n"
                              "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services]\n"
                              "\"Mark\"=\"services\"\n\n");
        lastComponent.fill('#');
        handlesBefore = vtxsim::OpenKeyHandleCount();
    }

    // The "Mark" value of the key, to tell which key a handle names.
    static std::string MarkOf(HKEY key) {
        std::array<char, 64> data{};
        DWORD size = data.size() - 1;
        if (RegQueryValueExA(key, "Mark", nullptr, nullptr, reinterpret_cast<LPBYTE>(data.data()),
                             &size) != ERROR_SUCCESS)
            return "<none>";
        return data.data();
    }
    std::string LastComponent() const { return lastComponent.data(); }
    // Handles are counted per process: a test sees only its own.
    unsigned OpenHandles() const { return vtxsim::OpenKeyHandleCount() - handlesBefore; }

    std::array<char, HELPER_TEXT_SIZE> lastComponent{};
    unsigned handlesBefore = 0;
};

TEST_F(KeyPathWalker, FullWalkKeepsEachParentAndClosingUnwindsDeepestFirst) {
    // Leading, trailing and doubled backslashes make no component.
    for (const char* path :
         {"System\\CurrentControlSet\\Services\\", "\\System\\\\CurrentControlSet\\Services",
          "\\\\System\\CurrentControlSet\\\\\\Services\\\\"}) {
        SCOPED_TRACE(path);
        HKEY current = HKEY_LOCAL_MACHINE;
        lastComponent.fill('#');
        EXPECT_EQ(OpenKeyPath(path, &current, lastComponent.data()), ERROR_SUCCESS);
        ASSERT_EQ(ParentKeyStack.count, 3);
        EXPECT_EQ(ParentKeyStack.entries[0], HKEY_LOCAL_MACHINE);
        EXPECT_NE(ParentKeyStack.entries[1], ParentKeyStack.entries[2]);
        EXPECT_EQ(MarkOf(current), "services");
        EXPECT_EQ(LastComponent(), "Services");
        EXPECT_EQ(OpenHandles(), 3u);

        unsigned closesBefore = vtxsim::CallCount("RegCloseKey");
        EXPECT_EQ(CloseKeyPath(&current), ERROR_SUCCESS);
        EXPECT_EQ(vtxsim::CallCount("RegCloseKey") - closesBefore, 4u);
        EXPECT_EQ(ParentKeyStack.count, 0);
        EXPECT_EQ(current, HKEY_LOCAL_MACHINE);
        EXPECT_EQ(OpenHandles(), 0u);
    }
}

TEST_F(KeyPathWalker, BrokenWalkClosesWhatItOpenedAndLeavesTheRoot) {
    // Third of four components missing: the second key, the first and the root are closed.
    HKEY current = HKEY_LOCAL_MACHINE;
    unsigned closesBefore = vtxsim::CallCount("RegCloseKey");
    EXPECT_EQ(
        OpenKeyPath("System\\CurrentControlSet\\Missing\\Class", &current, lastComponent.data()),
        ERROR_SUCCESS);
    EXPECT_EQ(vtxsim::CallCount("RegCloseKey") - closesBefore, 3u);
    EXPECT_EQ(ParentKeyStack.count, 0);
    EXPECT_EQ(current, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(LastComponent(), "CurrentControlSet");
    EXPECT_EQ(OpenHandles(), 0u);

    // First component missing: only the root is closed, nothing pushed, the name is emptied.
    lastComponent.fill('#');
    closesBefore = vtxsim::CallCount("RegCloseKey");
    EXPECT_EQ(OpenKeyPath("Missing\\Services", &current, lastComponent.data()), ERROR_SUCCESS);
    EXPECT_EQ(vtxsim::CallCount("RegCloseKey") - closesBefore, 1u);
    EXPECT_EQ(ParentKeyStack.count, 0);
    EXPECT_EQ(current, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(LastComponent(), "");

    // A component that fails to open for another reason ends the walk the same way.
    lastComponent.fill('#');
    vtxsim::FailCall("RegOpenKeyExA", 2, ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenKeyPath("System\\CurrentControlSet\\Services", &current, lastComponent.data()),
              ERROR_SUCCESS);
    EXPECT_EQ(ParentKeyStack.count, 0);
    EXPECT_EQ(current, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(LastComponent(), "System");
    EXPECT_EQ(OpenHandles(), 0u);

    // An empty path opens nothing and closes nothing.
    lastComponent.fill('#');
    closesBefore = vtxsim::CallCount("RegCloseKey");
    EXPECT_EQ(OpenKeyPath("\\\\", &current, lastComponent.data()), ERROR_SUCCESS);
    EXPECT_EQ(vtxsim::CallCount("RegCloseKey"), closesBefore);
    EXPECT_EQ(current, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(LastComponent(), "");
}

TEST_F(KeyPathWalker, FailedCloseStopsTheUnwindingAndTheNextUnwindingFinishesIt) {
    HKEY current = HKEY_LOCAL_MACHINE;
    ASSERT_EQ(OpenKeyPath("System\\CurrentControlSet\\Services\\Class", &current, nullptr), 0);
    HKEY services = ParentKeyStack.entries[3];
    vtxsim::FailCall("RegCloseKey", 2, ERROR_INVALID_HANDLE);
    EXPECT_EQ(CloseKeyPath(&current), ERROR_INVALID_HANDLE);
    EXPECT_EQ(current, services); // the handle whose close failed
    EXPECT_EQ(ParentKeyStack.count, 3);

    // A walk that fails at its first component unwinds the leftovers after its own root.
    current = HKEY_LOCAL_MACHINE;
    EXPECT_EQ(OpenKeyPath("Missing", &current, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(ParentKeyStack.count, 0);
    EXPECT_EQ(current, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(RegCloseKey(services), ERROR_SUCCESS);
    EXPECT_EQ(OpenHandles(), 0u);

    // A failed close while a broken walk unwinds is its result; the caller closes the rest.
    current = HKEY_LOCAL_MACHINE;
    vtxsim::FailCall("RegCloseKey", 1, ERROR_INVALID_HANDLE);
    EXPECT_EQ(OpenKeyPath("System\\Missing", &current, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(ParentKeyStack.count, 1);
    EXPECT_EQ(CloseKeyPath(&current), ERROR_SUCCESS);
    EXPECT_EQ(ParentKeyStack.count, 0);
    EXPECT_EQ(current, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(OpenHandles(), 0u);
}

TEST_F(KeyPathWalker, FullStackDropsPushesAndRefusesDeeperPaths) {
    EXPECT_EQ(PopParentKey(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ParentKeyStack.count, 0);
    for (uintptr_t i = 0; i <= PARENT_KEY_STACK_SIZE; ++i)
        PushParentKey(reinterpret_cast<HKEY>(0x100 + i));
    EXPECT_EQ(ParentKeyStack.count, PARENT_KEY_STACK_SIZE);
    EXPECT_EQ(PopParentKey(), reinterpret_cast<HKEY>(0x100 + PARENT_KEY_STACK_SIZE - 1));
    ParentKeyStack.count = 0;

    // A path of 21 components would push 21 parents: refused, so that no parent goes missing.
    std::string twenty;
    for (int i = 0; i < PARENT_KEY_STACK_SIZE; ++i)
        twenty += "K\\";
    std::string deeper = twenty + "K";
    vtxsim::SetStringValue("HKLM\\" + deeper, "Mark", "deep");
    HKEY current = HKEY_LOCAL_MACHINE;
    ASSERT_EQ(OpenKeyPath(twenty.c_str(), &current, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(ParentKeyStack.count, PARENT_KEY_STACK_SIZE);
    EXPECT_EQ(CloseKeyPath(&current), ERROR_SUCCESS);
    EXPECT_EQ(OpenKeyPath(deeper.c_str(), &current, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(current, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ParentKeyStack.count, 0);
    EXPECT_EQ(OpenHandles(), 0u);

    // With the 20th parent dropped, the empty 21st key would be deleted by its name from the
    // 19th, which would take the 20th and everything below it.
    EXPECT_EQ(RemoveRegistryKey(deeper.c_str(), "None", REMOVE_NAMED_SUBKEY), -1);
    EXPECT_TRUE(vtxsim::KeyExists("HKLM\\" + deeper));
    EXPECT_EQ(ParentKeyStack.count, 0);
    EXPECT_EQ(OpenHandles(), 0u);
}

TEST_F(KeyPathWalker, PathOverTwoHundredFiftyNineCharactersIsRefusedNotCut) {
    // 100 + 1 + 100 + 1 + 57 = 259 characters opens; two more characters are refused, although
    // the first 259 of them name an existing key.
    std::string base = std::string(100, 'A') + "\\" + std::string(100, 'B') + "\\";
    std::string fits = base + std::string(57, 'C');
    std::string longer = base + std::string(59, 'C');
    vtxsim::SetStringValue("HKLM\\" + fits, "Mark", "fits");
    vtxsim::SetStringValue("HKLM\\" + longer, "Mark", "longer");

    HKEY current = HKEY_LOCAL_MACHINE;
    ASSERT_EQ(OpenKeyPath(fits.c_str(), &current, lastComponent.data()), ERROR_SUCCESS);
    EXPECT_EQ(MarkOf(current), "fits");
    EXPECT_EQ(CloseKeyPath(&current), ERROR_SUCCESS);

    lastComponent.fill('#');
    EXPECT_EQ(OpenKeyPath(longer.c_str(), &current, lastComponent.data()), ERROR_SUCCESS);
    EXPECT_EQ(current, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ParentKeyStack.count, 0);
    EXPECT_EQ(LastComponent(), "");
    EXPECT_EQ(OpenHandles(), 0u);
}

} // namespace
