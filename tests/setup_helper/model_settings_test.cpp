// Model settings: the values of the model key read as text, the setup root with its backslash,
// and the numbered "PortName<n>" search.
#include "helper_fixture.h"

#include <string>

namespace {

using helper_test::HelperTest;
using helper_test::kModelKey;

class ModelSettingsTest : public HelperTest {
  protected:
    void SetUp() override {
        HelperTest::SetUp();
        UseDevice();
    }

    // ReadModelValue into a buffer prefilled with a marker; returns the text read.
    std::string Read(const char* keyPath, const char* name, DWORD expected) {
        CHAR data[HELPER_TEXT_SIZE];
        std::memset(data, 'M', sizeof(data));
        DWORD type = 0xDEAD;
        EXPECT_EQ(ReadModelValue(keyPath, name, &type, data), expected) << name;
        EXPECT_LT(std::strlen(data), sizeof(data)) << name;
        return data;
    }

    // AppendPortName onto "head"; returns the result and the text.
    std::pair<DWORD, std::string> PortPiece() {
        CHAR destination[PARAMETER_STRING_SIZE] = "head";
        DWORD rc = AppendPortName(destination, PARAMETER_STRING_SIZE);
        return {rc, destination};
    }
};

TEST_F(ModelSettingsTest, ValuesAreReadAsTerminatedTextAndFailuresLeaveTheBufferEmpty) {
    vtxsim::SetStringValue(kModelKey, "ExecFile", "vtxinh01.exe");
    EXPECT_EQ(Read(ModelKeyPath, "ExecFile", 0), "vtxinh01.exe");
    EXPECT_EQ(Read(ModelKeyPath, "Missing", ERROR_FILE_NOT_FOUND), "");
    EXPECT_EQ(Read("Software\\Kelvara\\VTXIO\\Nothing", "ExecFile", ERROR_FILE_NOT_FOUND), "");

    // A REG_SZ stored without its terminator is terminated; one that fills the whole buffer
    // without a terminator does not fit.
    vtxsim::SetRawValue(kModelKey, "Bare", {REG_SZ, {'a', 'b', 'c'}});
    EXPECT_EQ(Read(ModelKeyPath, "Bare", 0), "abc");
    vtxsim::SetRawValue(kModelKey, "Full", {REG_SZ, std::vector<BYTE>(HELPER_TEXT_SIZE, 'x')});
    EXPECT_EQ(Read(ModelKeyPath, "Full", ERROR_MORE_DATA), "");
    vtxsim::SetStringValue(kModelKey, "Longest", std::string(259, 'y'));
    EXPECT_EQ(Read(ModelKeyPath, "Longest", 0), std::string(259, 'y'));
    vtxsim::SetStringValue(kModelKey, "TooLong", std::string(260, 'z'));
    EXPECT_EQ(Read(ModelKeyPath, "TooLong", ERROR_MORE_DATA), "");

    // An empty path would be HKEY_LOCAL_MACHINE itself: there is no model key to read.
    vtxsim::SetStringValue("HKLM", "ExecFile", "root.exe");
    EXPECT_EQ(Read("", "ExecFile", ERROR_FILE_NOT_FOUND), "");
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), 0u);
}

TEST_F(ModelSettingsTest, SetupRootGetsOneTrailingBackslash) {
    CHAR destination[HELPER_TEXT_SIZE] = "old";
    vtxsim::SetStringValue(kModelKey, "SetupRootPath", "D:\\Setup");
    EXPECT_EQ(ReadSetupRootPath(destination, SetupRoot), 0u);
    EXPECT_STREQ(SetupRoot, "D:\\Setup\\");
    EXPECT_STREQ(destination, "D:\\Setup\\");

    vtxsim::SetStringValue(kModelKey, "SetupRootPath", "D:\\Setup\\");
    EXPECT_EQ(ReadSetupRootPath(destination, SetupRoot), 0u);
    EXPECT_STREQ(SetupRoot, "D:\\Setup\\");

    // 259 characters leave no room for the backslash: refused, not joined to the file name.
    std::strcpy(destination, "old");
    vtxsim::SetStringValue(kModelKey, "SetupRootPath", "D:\\" + std::string(256, 'r'));
    EXPECT_EQ(ReadSetupRootPath(destination, SetupRoot), (DWORD)ERROR_MORE_DATA);
    EXPECT_STREQ(destination, "old");
    EXPECT_STREQ(SetupRoot, "");
    vtxsim::SetStringValue(kModelKey, "SetupRootPath", "D:\\" + std::string(255, 'r') + "\\");
    EXPECT_EQ(ReadSetupRootPath(destination, SetupRoot), 0u);
}

TEST_F(ModelSettingsTest, MissingAndEmptySetupValuesGiveTwoAndTenOhEight) {
    CHAR destination[HELPER_TEXT_SIZE] = "old";
    CHAR buffer[HELPER_TEXT_SIZE];
    EXPECT_EQ(ReadSetupRootPath(destination, SetupRoot), 2u); // no model key at all
    EXPECT_EQ(ReadSetupExecFile(destination, buffer), 2u);
    EXPECT_EQ(AppendSetupParameters(destination, PARAMETER_STRING_SIZE), 2u);
    EXPECT_EQ(PortPiece(), std::make_pair(DWORD{2}, std::string("head")));

    vtxsim::SetStringValue(kModelKey, "SetupRootPath", "");
    vtxsim::SetStringValue(kModelKey, "SetupExecFile", "");
    EXPECT_EQ(ReadSetupRootPath(destination, SetupRoot), 1008u);
    EXPECT_EQ(ReadSetupExecFile(destination, buffer), 1008u);
    EXPECT_STREQ(destination, "old");

    vtxsim::SetStringValue(kModelKey, "SetupExecFile", "start.exe");
    EXPECT_EQ(ReadSetupExecFile(destination, buffer), 0u);
    EXPECT_STREQ(destination, "oldstart.exe");
}

TEST_F(ModelSettingsTest, PortNameSearchReadsTheNumberedValuesInOrderUntilOneNamesTheSerial) {
    vtxsim::SetStringValue(kModelKey, "PortName1", "USB/Draftaire K9/XY99");
    vtxsim::SetStringValue(kModelKey, "PortName2", "USB/Draftaire K9 with a longer name/AB12");
    EXPECT_EQ(PortPiece(), std::make_pair(DWORD{0}, std::string("head -v port=USB/Draftaire K9 "
                                                                "with a longer name/AB12")));
    vtxsim::SetStringValue(kModelKey, "PortName3", "USB/Draftaire K9/AB12");
    EXPECT_EQ(PortPiece().second, "head -v port=USB/Draftaire K9 with a longer name/AB12");
    // Only the exact name "PortName" starts the search; any other spelling is a plain value.
    EXPECT_EQ(Read(ModelKeyPath, "PortName", 0), "USB/Draftaire K9 with a longer name/AB12");
    EXPECT_EQ(Read(ModelKeyPath, "PORTNAME", ERROR_FILE_NOT_FOUND), "");

    // Past "PortName9" the numbers go on without leading zeros; a value too long for the
    // buffer does not match and the search goes past it.
    for (int n = 1; n <= 10; n++)
        vtxsim::SetStringValue(kModelKey, "PortName" + std::to_string(n), "USB/Draftaire K9/X");
    vtxsim::SetStringValue(kModelKey, "PortName11", std::string(300, 'A') + "AB12");
    vtxsim::SetStringValue(kModelKey, "PortName12", "USB/Draftaire K9/AB12");
    EXPECT_EQ(PortPiece().second, "head -v port=USB/Draftaire K9/AB12");
}

TEST_F(ModelSettingsTest, PortNameSearchEndsAtTheFirstMissingNumber) {
    vtxsim::SetStringValue(kModelKey, "PortName1", "USB/Draftaire K9/XY99");
    vtxsim::SetStringValue(kModelKey, "PortName3", "USB/Draftaire K9/AB12"); // behind a gap
    auto [rc, text] = PortPiece();
    EXPECT_EQ(rc, (DWORD)HELPER_ERROR_PORT_NOT_FOUND);
    EXPECT_NE(rc, 2u);
    EXPECT_NE(rc, 1008u);
    EXPECT_EQ(text, "head");
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), 0u);

    // A registry that answers every query with "too long" cannot hold the search forever.
    vtxsim::FailEveryCall("RegQueryValueExA", ERROR_MORE_DATA);
    EXPECT_EQ(PortPiece().first, (DWORD)HELPER_ERROR_PORT_NOT_FOUND);
    vtxsim::ClearFailures();
}

TEST_F(ModelSettingsTest, AnEmptySerialTakesTheFirstPortNameWhateverItHolds) {
    UseDevice("Draftaire K9", "");
    vtxsim::SetStringValue(kModelKey, "SetupRootPath", "D:\\Setup");
    // No "PortName1" at all: the empty serial is found in the empty text, so the port is empty.
    EXPECT_EQ(PortPiece(), std::make_pair(DWORD{0}, std::string("head -v port=")));
    vtxsim::SetStringValue(kModelKey, "PortName1", "USB/Draftaire K9/XY99");
    vtxsim::SetStringValue(kModelKey, "PortName2", "USB/Draftaire K9/AB12");
    EXPECT_EQ(PortPiece(),
              std::make_pair(DWORD{0}, std::string("head -v port=USB/Draftaire K9/XY99")));
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), 0u);
}

} // namespace
