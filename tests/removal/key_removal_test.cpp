// Key removal by mode: which subkey goes, the count returned, the path's own key deleted when it
// is left empty, and the parent key stack and handles left as they were.
#include "platform/sim/control/simctl.h"
#include "setup_helper/removal/removal.h"
#include "support/machine_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const kTypeKey = "HKLM\\Enum\\USB\\VID_0D7A&PID_0042";
const char* const kTypePath = "Enum\\USB\\VID_0D7A&PID_0042\\";
const char* const kClassesKey = "HKLM\\System\\CurrentControlSet\\Control\\DeviceClasses\\"
                                "{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}";
const char* const kClassesPath = "System\\CurrentControlSet\\Control\\DeviceClasses\\"
                                 "{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}";
const char* const kClassKey = "HKLM\\System\\CurrentControlSet\\Services\\Class\\USB Draftaire";
const char* const kClassPath = "System\\CurrentControlSet\\Services\\Class\\USB Draftaire\\";

using Names = std::vector<std::string>;

class KeyRemoval : public vtxtest::MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        ParentKeyStack.count = 0;
        TextCopyMarker(InfFileName);
        std::string("AB12").copy(DeviceSerial, 4);
        DeviceSerial[4] = '\0';
        // A neighbour of every key below, to show that nothing climbs higher than the path.
        vtxsim::SetStringValue("HKLM\\Enum\\USB\\Root", "Keep", "1");
        handlesBefore = vtxsim::OpenKeyHandleCount();
    }
    void TearDown() override {
        MachineTest::TearDown();
        EXPECT_EQ(ParentKeyStack.count, 0);
        // Handles are counted per process: a test sees only its own.
        EXPECT_EQ(vtxsim::OpenKeyHandleCount() - handlesBefore, expectedOpenHandles);
    }
    static void TextCopyMarker(char* buffer) {
        std::string("marker").copy(buffer, 6);
        buffer[6] = '\0';
    }
    static void AddSerial(const std::string& serial) {
        vtxsim::SetStringValue(std::string(kTypeKey) + "\\" + serial, "driver",
                               "USB Draftaire\\0000");
    }
    unsigned handlesBefore = 0;
    unsigned expectedOpenHandles = 0;
    static void AddInterface(const std::string& name, const std::string& instance) {
        vtxsim::SetStringValue(std::string(kClassesKey) + "\\" + name, "DeviceInstance", instance);
    }
};

TEST_F(KeyRemoval, NamedSubkeyGoesAndTheKeyFollowsWhenLeftEmpty) {
    AddSerial("AB12");
    AddSerial("CD34");
    EXPECT_EQ(RemoveRegistryKey(kTypePath, "AB12", REMOVE_NAMED_SUBKEY), 1);
    EXPECT_EQ(vtxsim::SubkeyNames(kTypeKey), Names{"CD34"});

    EXPECT_EQ(RemoveRegistryKey(kTypePath, "CD34", REMOVE_NAMED_SUBKEY), 0);
    EXPECT_FALSE(vtxsim::KeyExists(kTypeKey));
    EXPECT_EQ(vtxsim::SubkeyNames("HKLM\\Enum\\USB"), Names{"Root"});

    // A name that does not exist, on a key without subkeys: the key itself goes.
    vtxsim::SetStringValue(kTypeKey, "Keep", "1");
    EXPECT_EQ(RemoveRegistryKey(kTypePath, "Nothing", REMOVE_NAMED_SUBKEY), 0);
    EXPECT_FALSE(vtxsim::KeyExists(kTypeKey));

    // A path that does not open: -1 and nothing deleted.
    unsigned deletes = vtxsim::CallCount("RegDeleteKeyA");
    EXPECT_EQ(RemoveRegistryKey("Missing\\USB\\", "Root", REMOVE_NAMED_SUBKEY), -1);
    EXPECT_EQ(RemoveRegistryKey(kTypePath, "AB12", REMOVE_NAMED_SUBKEY), -1);
    EXPECT_EQ(vtxsim::CallCount("RegDeleteKeyA"), deletes);
    EXPECT_TRUE(vtxsim::KeyExists("HKLM\\Enum\\USB\\Root"));
}

TEST_F(KeyRemoval, AbsentNameDeletesNothingByName) {
    AddSerial("AB12");
    vtxsim::SetStringValue(kClassKey, "InfPath", "WRONG.INF");
    vtxsim::SetStringValue(std::string(kClassKey) + "\\0000", "InfPath", "OEM3.INF");
    // Neither a null, an empty nor an all-backslash name may reach the platform: each would
    // name the key itself.
    for (const char* name : {static_cast<const char*>(nullptr), "", "\\", "\\\\"}) {
        EXPECT_EQ(RemoveRegistryKey(kTypePath, name, REMOVE_NAMED_SUBKEY), 1);
        EXPECT_EQ(RemoveRegistryKey(kClassPath, name, REMOVE_CLASS_INSTANCE), 1);
        EXPECT_EQ(vtxsim::SubkeyNames(kTypeKey), Names{"AB12"});
        EXPECT_EQ(vtxsim::SubkeyNames(kClassKey), Names{"0000"});
    }
    EXPECT_STREQ(InfFileName, "marker");
}

TEST_F(KeyRemoval, MatchingInstanceGoesByItsExactDeviceInstance) {
    AddInterface("##?#USB#VID_0D7A&PID_0042#CD34", "USB\\VID_0D7A&PID_0042\\CD34");
    AddInterface("##?#USB#VID_0D7A&PID_0042#ab12", "USB\\VID_0D7A&PID_0042\\ab12");
    AddInterface("##?#USB#VID_0D7A&PID_0042#X", "USB\\VID_0D7A&PID_0042\\AB12");
    AddInterface("##?#USB#VID_0D7A&PID_0042#Y", "USB\\VID_0D7A&PID_0042\\AB12");

    EXPECT_EQ(RemoveRegistryKey(kClassesPath, "VID_0D7A&PID_0042", REMOVE_MATCHING_INSTANCE), 3);
    EXPECT_EQ(vtxsim::SubkeyNames(kClassesKey),
              (Names{"##?#USB#VID_0D7A&PID_0042#CD34", "##?#USB#VID_0D7A&PID_0042#ab12",
                     "##?#USB#VID_0D7A&PID_0042#Y"}));

    // No match (the letter case differs, another product): nothing goes.
    vtxsim::DeleteRegistryKey(std::string(kClassesKey) + "\\##?#USB#VID_0D7A&PID_0042#Y");
    EXPECT_EQ(RemoveRegistryKey(kClassesPath, "VID_0D7A&PID_0043", REMOVE_MATCHING_INSTANCE), 2);
    EXPECT_EQ(vtxsim::SubkeyNames(kClassesKey).size(), 2u);
    EXPECT_EQ(RemoveRegistryKey(kClassesPath, nullptr, REMOVE_MATCHING_INSTANCE), 2);
}

TEST_F(KeyRemoval, MatchingInstanceSurvivesOddSubkeys) {
    // A name too long to enumerate, a subkey without "DeviceInstance" and a value stored
    // without its terminator: the search goes on past the first two and matches the third.
    AddInterface(std::string(254, 'L'), "USB\\VID_0D7A&PID_0042\\AB12");
    vtxsim::SetStringValue(std::string(kClassesKey) + "\\NoInstance", "Other", "x");
    std::string instance = "USB\\VID_0D7A&PID_0042\\AB12";
    vtxsim::SetRawValue(std::string(kClassesKey) + "\\Unterminated", "DeviceInstance",
                        {REG_SZ, std::vector<BYTE>(instance.begin(), instance.end())});
    EXPECT_EQ(RemoveRegistryKey(kClassesPath, "VID_0D7A&PID_0042", REMOVE_MATCHING_INSTANCE), 2);
    EXPECT_EQ(vtxsim::SubkeyNames(kClassesKey), (Names{std::string(254, 'L'), "NoInstance"}));

    // A serial number that makes the target text too long matches nothing.
    std::string(250, 'S').copy(DeviceSerial, 250);
    DeviceSerial[250] = '\0';
    AddInterface("Long", "USB\\VID_0D7A&PID_0042\\" + std::string(250, 'S'));
    EXPECT_EQ(RemoveRegistryKey(kClassesPath, "VID_0D7A&PID_0042", REMOVE_MATCHING_INSTANCE), 3);
}

TEST_F(KeyRemoval, ClassInstanceGoesAfterItsInfPathIsRead) {
    vtxsim::SetStringValue(std::string(kClassKey) + "\\0000", "InfPath", "OEM3.INF");
    vtxsim::SetStringValue(std::string(kClassKey) + "\\0001", "InfPath", "OEM4.INF");
    vtxsim::SetStringValue(std::string(kClassKey) + "\\0002", "Other", "x");

    EXPECT_EQ(RemoveRegistryKey(kClassPath, "0000", REMOVE_CLASS_INSTANCE), 2);
    EXPECT_STREQ(InfFileName, "OEM3.INF");
    // Missing instance: InfFileName kept, nothing deleted by name.
    EXPECT_EQ(RemoveRegistryKey(kClassPath, "0009", REMOVE_CLASS_INSTANCE), 2);
    EXPECT_STREQ(InfFileName, "OEM3.INF");
    // Instance without "InfPath": deleted, InfFileName kept.
    EXPECT_EQ(RemoveRegistryKey(kClassPath, "0002", REMOVE_CLASS_INSTANCE), 1);
    EXPECT_STREQ(InfFileName, "OEM3.INF");
    EXPECT_EQ(vtxsim::SubkeyNames(kClassKey), Names{"0001"});

    // An "InfPath" too long to read whole is not taken in part.
    vtxsim::SetStringValue(std::string(kClassKey) + "\\0001", "InfPath", std::string(300, 'I'));
    EXPECT_EQ(RemoveRegistryKey(kClassPath, "0001", REMOVE_CLASS_INSTANCE), 0);
    EXPECT_STREQ(InfFileName, "OEM3.INF");
    EXPECT_FALSE(vtxsim::KeyExists(kClassKey));

    // The registry is offered 254 bytes: 254 characters and a terminator do not fit, 254 stored
    // without one do, and end within the zeroed buffer.
    const std::string longest(254, 'J');
    vtxsim::SetStringValue(std::string(kClassKey) + "\\0003", "InfPath", longest);
    vtxsim::SetRawValue(std::string(kClassKey) + "\\0004", "InfPath",
                        {REG_SZ, std::vector<BYTE>(longest.begin(), longest.end())});
    EXPECT_EQ(RemoveRegistryKey(kClassPath, "0003", REMOVE_CLASS_INSTANCE), 1);
    EXPECT_STREQ(InfFileName, "OEM3.INF");
    EXPECT_EQ(RemoveRegistryKey(kClassPath, "0004", REMOVE_CLASS_INSTANCE), 0);
    EXPECT_EQ(std::string(InfFileName), longest);
}

TEST_F(KeyRemoval, OtherModeOnlyCountsAndAnUncountableKeyIsKept) {
    vtxsim::SetStringValue(kTypeKey, "Keep", "1");
    vtxsim::FailCall("RegQueryInfoKeyA", 1, ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RemoveRegistryKey(kTypePath, "AB12", REMOVE_NAMED_SUBKEY), 1);
    EXPECT_TRUE(vtxsim::KeyExists(kTypeKey));

    AddSerial("AB12");
    EXPECT_EQ(RemoveRegistryKey(kTypePath, "AB12", 3), 1);
    EXPECT_EQ(vtxsim::SubkeyNames(kTypeKey), Names{"AB12"});
    vtxsim::DeleteRegistryKey(std::string(kTypeKey) + "\\AB12");
    EXPECT_EQ(RemoveRegistryKey(kTypePath, "AB12", 3), 0);
    EXPECT_FALSE(vtxsim::KeyExists(kTypeKey));
}

TEST_F(KeyRemoval, StackIsLeftAsFoundEvenAfterAFailedClose) {
    AddSerial("AB12");
    AddSerial("CD34");
    // The path key's close fails: its parents stay stacked and the count is still returned.
    vtxsim::FailCall("RegCloseKey", 1, ERROR_INVALID_HANDLE);
    EXPECT_EQ(RemoveRegistryKey(kTypePath, "AB12", REMOVE_NAMED_SUBKEY), 1);
    EXPECT_EQ(ParentKeyStack.count, 3);
    // The next removal unwinds them after its own.
    EXPECT_EQ(RemoveRegistryKey(kTypePath, "CD34", REMOVE_NAMED_SUBKEY), 0);
    EXPECT_EQ(ParentKeyStack.count, 0);
    EXPECT_FALSE(vtxsim::KeyExists(kTypeKey));
    // The handle whose close failed is the only one still open.
    expectedOpenHandles = 1;
}

} // namespace
