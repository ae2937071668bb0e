// Setup command line: the setup program's path, the parameter string and its "CmdLine" value.
#include "helper_fixture.h"

#include <string>

namespace {

using helper_test::HelperTest;
using helper_test::kCmdLineKey;
using helper_test::kModelKey;

class SetupCommandTest : public HelperTest {
  protected:
    void SetUp() override {
        HelperTest::SetUp();
        UseDevice();
    }
};

TEST_F(SetupCommandTest, TheExampleDeviceGetsItsExactParametersAndProgramPath) {
    WriteSetupValues();
    vtxsim::SetStringValue(kModelKey, "PortName1", "USB/Draftaire K9/AB12");
    BuildSetupCommand();
    const std::string expected =
        "-s -v bustype=usb -v port=USB/Draftaire K9/AB12 -v model=Draftaire "
        "K9 -v serial=AB12 -v dialog=0 -v error=0 -v abort=0";
    EXPECT_EQ(std::string(SetupParameterString), expected);
    EXPECT_STREQ(SetupProgramPath, "D:\\Setup\\start.exe -vtregistry=K9\\AB12");
    EXPECT_STREQ(SetupRoot, "D:\\Setup\\");
    EXPECT_EQ(vtxsim::StringValue(kCmdLineKey, "CmdLine"), expected);
    auto raw = vtxsim::RawValue(kCmdLineKey, "CmdLine");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, (DWORD)REG_SZ);
    EXPECT_EQ(raw->data.size(), expected.size() + 1);
    EXPECT_EQ(ErrorCode, 0);
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), 0u);
}

TEST_F(SetupCommandTest, OptionalPiecesAreLeftOutWhenTheirValuesAreMissing) {
    WriteSetupValues("D:\\Setup", "start.exe", std::nullopt);
    UseDevice("Draftaire K9", "");
    vtxsim::SetStringValue(kModelKey, "PortName1", "USB/Draftaire K9/AB12");
    BuildSetupCommand();
    EXPECT_STREQ(SetupParameterString, " -v bustype=usb -v port=USB/Draftaire K9/AB12 -v "
                                       "model=Draftaire K9 -v dialog=0 -v error=0 -v abort=0");
    // An empty serial names the last level of the key by the empty text.
    EXPECT_TRUE(vtxsim::StringValue("HKLM\\Software\\Kelvara\\VTX\\K9", "CmdLine").has_value());
}

TEST_F(SetupCommandTest, NoPortNameForTheSerialIsReportedButTheParametersStillGo) {
    WriteSetupValues();
    vtxsim::SetStringValue(kModelKey, "PortName1", "USB/Draftaire K9/XY99");
    BuildSetupCommand();
    EXPECT_EQ(std::string(SetupParameterString),
              "-s -v bustype=usb -v model=Draftaire K9 -v serial=AB12 -v dialog=0 -v error=1168 "
              "-v abort=0");
    EXPECT_EQ(ErrorCode, 1168);
    EXPECT_TRUE(vtxsim::StringValue(kCmdLineKey, "CmdLine").has_value());
    EXPECT_STREQ(SetupProgramPath, "D:\\Setup\\start.exe -vtregistry=K9\\AB12");

    // An earlier failure (a monitor registration's 3006, the platform check's 120) is what
    // the setup program is told, not the port search's code.
    for (LONG earlier : {3006L, 120L}) {
        ErrorCode = earlier;
        BuildSetupCommand();
        EXPECT_EQ(ErrorCode, earlier);
        EXPECT_NE(
            std::string(SetupParameterString).find(" -v error=" + std::to_string(earlier) + " "),
            std::string::npos)
            << SetupParameterString;
    }
}

TEST_F(SetupCommandTest, MissingOrEmptySetupValuesWriteNoCmdLine) {
    struct Case {
        std::optional<std::string> root, exec;
        LONG error;
        const char* programPath; // what was read, and the registry option in any case
    };
    for (const Case& c : {Case{std::nullopt, "start.exe", 2, " -vtregistry=K9\\AB12"},
                          Case{"D:\\Setup", std::nullopt, 2, "D:\\Setup\\ -vtregistry=K9\\AB12"},
                          Case{"", "start.exe", 1008, " -vtregistry=K9\\AB12"},
                          Case{"D:\\Setup", "", 1008, "D:\\Setup\\ -vtregistry=K9\\AB12"}}) {
        vtxsim::ResetMachine();
        ErrorCode = 0;
        WriteSetupValues(c.root, c.exec);
        BuildSetupCommand();
        EXPECT_EQ(ErrorCode, c.error);
        EXPECT_STREQ(SetupProgramPath, c.programPath);
        EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTX"));
    }
}

TEST_F(SetupCommandTest, AnAbsentModelRemainderTouchesNoKeyALevelTooHigh) {
    // Values one level up, under "VTXIO" itself, must not be taken for the model's.
    vtxsim::SetStringValue("HKLM\\Software\\Kelvara\\VTXIO", "SetupRootPath", "D:\\Setup");
    vtxsim::SetStringValue("HKLM\\Software\\Kelvara\\VTXIO", "SetupExecFile", "start.exe");
    vtxsim::SetStringValue("HKLM\\Software\\Kelvara\\VTXIO", "PortName1", "USB/Draftaire/AB12");
    UseDevice("Draftaire", "AB12");
    EXPECT_STREQ(ModelKeyPath, "");
    BuildSetupCommand();
    EXPECT_EQ(ErrorCode, 2);
    EXPECT_STREQ(SetupProgramPath, "");
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTX"));
    EXPECT_EQ(StoreCmdLine(nullptr), 2u);
    EXPECT_EQ(StoreCmdLine(""), 2u);
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTX"));
}

TEST_F(SetupCommandTest, AnOverLongOptionalPieceIsLeftOutWholeAndTheStatusPiecesAlwaysEndIt) {
    const std::string port = "USB/Draftaire K9/AB12";
    const std::string status = " -v dialog=2 -v error=3006 -v abort=1";
    auto build = [&](const std::string& parameters) {
        vtxsim::ResetMachine();
        WriteSetupValues("D:\\Setup", "start.exe", parameters);
        vtxsim::SetStringValue(kModelKey, "PortName1", port);
        DialogCode = 2, ErrorCode = 3006, AbortFlag = 1;
        BuildSetupCommand();
        return std::string(SetupParameterString);
    };
    // Parameters that fit only without the port: the port, model and serial pieces are left
    // out whole, never cut in the middle of their value.
    const std::string fits(PARAMETER_STRING_SIZE - 1 - status.size() - 15, 'p');
    EXPECT_EQ(build(fits), fits + " -v bustype=usb" + status);
    // One more character and they count as unreadable: the other pieces come back.
    EXPECT_EQ(build(fits + "p"),
              " -v bustype=usb -v port=" + port + " -v model=Draftaire K9 -v serial=AB12" + status);
    // Room for the port but not the model: the serial after it still goes in.
    const std::string upToPort(fits.size() - 30 - 15, 'q');
    EXPECT_EQ(build(upToPort),
              upToPort + " -v bustype=usb -v port=" + port + " -v serial=AB12" + status);
    EXPECT_EQ(vtxsim::StringValue(kCmdLineKey, "CmdLine"), std::string(SetupParameterString));
}

TEST_F(SetupCommandTest, AnOverLongProgramPathOrKeyIsRefusedNotCut) {
    // Root and file fit, the " -vtregistry=" option does not: nothing is left to queue.
    WriteSetupValues("D:\\" + std::string(200, 'r'), std::string(40, 'e') + ".exe");
    vtxsim::SetStringValue(kModelKey, "PortName1", "USB/Draftaire K9/AB12");
    BuildSetupCommand();
    EXPECT_STREQ(SetupProgramPath, "");
    EXPECT_EQ(ErrorCode, ERROR_FILENAME_EXCED_RANGE);
    EXPECT_TRUE(vtxsim::StringValue(kCmdLineKey, "CmdLine").has_value());

    // A setup file name that does not fit beside the root: the parameters are stored and say
    // why, but no program path is left.
    vtxsim::ResetMachine();
    ErrorCode = 0;
    WriteSetupValues("D:\\" + std::string(200, 'r'), std::string(70, 'e') + ".exe");
    BuildSetupCommand();
    EXPECT_EQ(ErrorCode, ERROR_FILENAME_EXCED_RANGE);
    EXPECT_STREQ(SetupProgramPath, "");
    EXPECT_STREQ(SetupRoot, ("D:\\" + std::string(200, 'r') + "\\").c_str());

    // "Software\Kelvara\VTX\<remainder>\<serial>" longer than 259 characters: no key at all.
    vtxsim::ResetMachine();
    UseDevice("Draftaire K9", std::string(240, 's'));
    EXPECT_EQ(StoreCmdLine("K9"), (DWORD)ERROR_MORE_DATA);
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTX"));
}

} // namespace
