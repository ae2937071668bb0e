// Registry keys: names, creation, deletion and handles, as Windows 98 keeps them.
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/registry_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

HKEY const kMarkerKey = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x5a5a5a50));

class RegistryKeys : public vtxtest::MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        handlesBefore_ = vtxsim::OpenKeyHandleCount();
    }
    void TearDown() override {
        EXPECT_EQ(vtxsim::OpenKeyHandleCount(), handlesBefore_);
        MachineTest::TearDown();
    }

    static void SetString(HKEY key, const char* name, const char* text) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                 static_cast<DWORD>(std::strlen(text) + 1)),
                  ERROR_SUCCESS);
    }

  private:
    unsigned handlesBefore_ = 0;
};

TEST_F(RegistryKeys, NamesMatchWithoutRegardToCaseAndKeepTheCaseOfTheirCreation) {
    HKEY model = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Kelvara\\VTXIO", &model), 0);
    HKEY again = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\kelvara\\vtxio\\Model", &again), 0);
    EXPECT_EQ(vtxsim::SubkeyNames("HKLM\\Software"), std::vector<std::string>{"Kelvara"});
    EXPECT_EQ(vtxsim::SubkeyNames("HKLM\\software\\KELVARA\\vtxio"),
              std::vector<std::string>{"Model"});

    SetString(model, "SetupRootPath", "C:\\first");
    SetString(model, "SETUPROOTPATH", "C:\\second");
    EXPECT_EQ(vtxsim::ValueNames("HKLM\\Software\\Kelvara\\VTXIO"),
              std::vector<std::string>{"SetupRootPath"});

    HKEY opened = kMarkerKey;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\KELVARA\\Vtxio", 0, KEY_ALL_ACCESS, &opened),
        0);
    char data[32] = {};
    DWORD size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(opened, "setuprootpath", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(data), &size),
              0);
    EXPECT_STREQ(data, "C:\\second");

    char name[16];
    DWORD chars = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(opened, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_STREQ(name, "Model");
    EXPECT_EQ(chars, 5u);

    EXPECT_EQ(RegCloseKey(opened), 0);
    EXPECT_EQ(RegCloseKey(again), 0);
    EXPECT_EQ(RegCloseKey(model), 0);
}

TEST_F(RegistryKeys, DeletingAKeyDeletesItsWholeSubtree) {
    vtxsim::ImportRegText("REGEDIT4\n\n"
                          "[HKEY_LOCAL_MACHINE\\Software\\A\\B\\C]\n\"v\"=\"1\"\n"
                          "[HKEY_LOCAL_MACHINE\\Software\\A\\B\\D]\n"
                          "[HKEY_LOCAL_MACHINE\\Software\\A\\E]\n\"w\"=dword:00000002\n"
                          "[HKEY_LOCAL_MACHINE\\Software\\A2\\X]\n\"x\"=\"kept\"\n"
                          "[HKEY_LOCAL_MACHINE\\Software\\A]]\n\"y\"=\"kept\"\n"
                          "[HKEY_LOCAL_MACHINE\\Software\\Other]\n");
    HKEY deep = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\A\\B\\C", 0, KEY_ALL_ACCESS, &deep), 0);

    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "software\\a"), ERROR_SUCCESS);
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Software\\A"));
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Software\\A\\B\\C"));
    // Keys whose names go on from the deleted one's are not below it.
    EXPECT_EQ(vtxsim::SubkeyNames("HKLM\\Software"),
              (std::vector<std::string>{"A2", "A]", "Other"}));
    EXPECT_EQ(vtxsim::StringValue("HKLM\\Software\\A2\\X", "x"), "kept");
    EXPECT_EQ(vtxsim::StringValue("HKLM\\Software\\A]", "y"), "kept");
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\A"), ERROR_FILE_NOT_FOUND);

    // A handle to a deleted key fails every use but still closes.
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(deep, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    const BYTE one[] = {1};
    EXPECT_EQ(RegSetValueExA(deep, "v", 0, REG_BINARY, one, 1), ERROR_KEY_DELETED);
    HKEY sub = kMarkerKey;
    EXPECT_EQ(RegCreateKeyA(deep, "Sub", &sub), ERROR_KEY_DELETED);
    EXPECT_EQ(sub, kMarkerKey);
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Software\\A"));
    EXPECT_EQ(RegCloseKey(deep), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(vtxsim::KeyExists("HKLM\\Software\\Other"));
}

TEST_F(RegistryKeys, CreateMakesEveryMissingLevelAndOpenFindsOnlyWhatExists) {
    HKEY missing = kMarkerKey;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\New", 0, KEY_ALL_ACCESS, &missing),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, kMarkerKey);

    HKEY leaf = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\New\\Two\\Three\\", &leaf), 0);
    EXPECT_TRUE(vtxsim::KeyExists("HKEY_LOCAL_MACHINE\\Software\\New\\Two\\Three"));
    EXPECT_FALSE(vtxsim::KeyExists("HKEY_CURRENT_USER\\Software\\New"));

    HKEY bad = kMarkerKey;
    EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\\\Twice", &bad), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\Software", 0, KEY_ALL_ACCESS, &bad),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(bad, kMarkerKey);
    EXPECT_EQ(vtxsim::SubkeyNames("HKLM\\Software"), std::vector<std::string>{"New"});
    EXPECT_EQ(RegCloseKey(leaf), 0);
}

TEST_F(RegistryKeys, AnEmptyOrNullSubkeyGivesANewHandleToTheSameKey) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Same", &key), 0);
    HKEY viaNull = nullptr;
    HKEY viaEmpty = nullptr;
    HKEY viaCreate = nullptr;
    unsigned before = vtxsim::OpenKeyHandleCount();
    ASSERT_EQ(RegOpenKeyExA(key, nullptr, 0, KEY_ALL_ACCESS, &viaNull), 0);
    ASSERT_EQ(RegOpenKeyExA(key, "", 0, KEY_ALL_ACCESS, &viaEmpty), 0);
    ASSERT_EQ(RegCreateKeyA(key, nullptr, &viaCreate), 0);
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), before + 3);
    EXPECT_NE(viaNull, key);
    EXPECT_NE(viaNull, viaEmpty);

    SetString(viaCreate, "Shared", "yes");
    EXPECT_EQ(vtxsim::StringValue("HKCU\\Software\\Same", "Shared"), "yes");
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(viaEmpty, "Shared", nullptr, nullptr, nullptr, &size), 0);
    EXPECT_EQ(size, 4u);
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Software\\Same"));

    for (HKEY h : {viaNull, viaEmpty, viaCreate, key})
        EXPECT_EQ(RegCloseKey(h), 0);
}

TEST_F(RegistryKeys, RootsCloseFreelyAndBadHandlesGiveInvalidHandle) {
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    // The roots still work after being "closed".
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software", &key), ERROR_SUCCESS);

    unsigned open = vtxsim::OpenKeyHandleCount();
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), open - 1);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);

    DWORD size = 0;
    HKEY result = kMarkerKey;
    EXPECT_EQ(RegQueryValueExA(key, "x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(nullptr, "Software", 0, KEY_ALL_ACCESS, &result), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "x", &result), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY_USERS, nullptr, 0, KEY_ALL_ACCESS, &result), ERROR_INVALID_HANDLE);
    EXPECT_EQ(result, kMarkerKey);
    EXPECT_EQ(RegDeleteKeyA(key, "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteValueA(key, "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software", nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), open - 1);
}

// Wine folds A-Z to lower case: '_' (0x5F) lies between the cases, so "A_B" comes before "ab"
// where an upper-case fold would put it after. A prefix comes before the longer name.
TEST_F(RegistryKeys, EnumerationFollowsTheMachinesOrderAndANewMachineEnumeratesInCreationOrder) {
    const std::vector<std::string> created{"b", "A_B", "ab", "a", "Z"};
    HKEY parent = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Order", &parent), 0);
    for (const std::string& name : created) {
        HKEY child = nullptr;
        ASSERT_EQ(RegCreateKeyA(parent, name.c_str(), &child), 0);
        RegCloseKey(child);
        SetString(parent, name.c_str(), "x");
    }
    auto enumerated = [&] {
        std::vector<std::string> names;
        char name[16];
        DWORD chars = sizeof name;
        for (DWORD i = 0; RegEnumKeyExA(parent, i, name, &chars, nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
             ++i, chars = sizeof name)
            names.emplace_back(name, chars);
        return names;
    };
    auto valueAt = [&](DWORD index) {
        char name[16] = "marker";
        DWORD chars = sizeof name;
        LONG result =
            RegEnumValueA(parent, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
        return result == ERROR_SUCCESS ? std::string(name) : "error " + std::to_string(result);
    };
    EXPECT_EQ(vtxsim::GetEnumerationOrder(), vtxsim::EnumerationOrder::Creation);
    EXPECT_EQ(enumerated(), created);
    EXPECT_EQ(valueAt(1), "A_B");

    vtxsim::SetEnumerationOrder(vtxsim::EnumerationOrder::Sorted);
    const std::vector<std::string> sorted{"a", "A_B", "ab", "b", "Z"};
    EXPECT_EQ(enumerated(), sorted);
    EXPECT_EQ(vtxsim::SubkeyNames("HKLM\\Software\\Order"), sorted);
    EXPECT_EQ(vtxsim::ValueNames("HKLM\\Software\\Order"), sorted);
    EXPECT_EQ(valueAt(1), "A_B");
    EXPECT_EQ(valueAt(4), "Z");
    EXPECT_EQ(valueAt(5), "error " + std::to_string(ERROR_NO_MORE_ITEMS));
    // The export keeps creation order: a fixture read back is the same text in either order.
    EXPECT_LT(vtxsim::ExportRegistry().find("[HKEY_LOCAL_MACHINE\\Software\\Order\\b]"),
              vtxsim::ExportRegistry().find("[HKEY_LOCAL_MACHINE\\Software\\Order\\a]"));
    RegCloseKey(parent);

    vtxsim::ResetMachine();
    EXPECT_EQ(vtxsim::GetEnumerationOrder(), vtxsim::EnumerationOrder::Creation);
}

} // namespace
