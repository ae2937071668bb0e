// The removal of a device on machines built from REGEDIT4 fixtures: what must remain of the
// registry, the files and "wininit.ini" afterwards, and what a restart then carries out.
#include "platform/sim/control/simctl.h"
#include "platform/sim/control/wininit_ctl.h"
#include "setup_helper/removal/removal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using vtxsim::RenameEntries;

// A registry as key path -> value name -> data text, with every parent of a key present.
using Registry = std::map<std::string, std::map<std::string, std::string>>;
using Files = std::set<std::string>;

const fs::path kFixtures = fs::path(VTX_FIXTURES_DIR) / "removal";
const char* const kWininit = "C:\\Windows\\wininit.ini";
const char* const kHelperFile = "C:\\Windows\\System\\vtxinh01.exe";
const char* const kVmm32File = "C:\\Windows\\System\\VMM32\\vtxvxu01.dll";
const char* const kVxdKey = "HKLM\\System\\CurrentControlSet\\Services\\VxD\\Vtxiod01";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// A registry's sections as a map: the roots themselves are left out; every other parent of a
// key is there, since the reader makes each level a section names.
Registry RegistryOf(const std::vector<vtxsim::RegistrySection>& sections) {
    Registry registry;
    for (const vtxsim::RegistrySection& section : sections) {
        if (section.key.find('\\') == std::string::npos)
            continue;
        std::map<std::string, std::string>& values = registry[section.key];
        for (const auto& [name, data] : section.values)
            values[name] = data;
    }
    return registry;
}

// The fixtures read, in order, as the machine reads a REGEDIT4 file; extra is REGEDIT4 text
// without its header.
Registry FixtureRegistry(const std::vector<std::string>& files, const std::string& extra = "") {
    std::vector<std::string> texts;
    for (const std::string& file : files)
        texts.push_back(ReadText(kFixtures / file));
    texts.push_back("REGEDIT4\n\n" + extra);
    return RegistryOf(vtxsim::RegistrySectionsOf(texts, kFixtures.string()));
}

// The files (not directories) on the machine, upper case.
Files MachineFiles() {
    Files files;
    for (const std::string& path : vtxsim::FileTree()) {
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            files.insert(Upper(path));
    }
    return files;
}

Files UpperFiles(std::initializer_list<const char*> paths) {
    Files files;
    for (const char* path : paths)
        files.insert(Upper(path));
    return files;
}

// The files every machine of these tests starts with: the driver set and two INF files, some
// read-only, and a few of Windows' own.
const char* const kStartFileNames[] = {
    "C:\\Windows\\System32\\DRIVERS\\vtxubd01.sys",
    "C:\\Windows\\System32\\DRIVERS\\vtxiod01.sys",
    "C:\\Windows\\System32\\DRIVERS\\usbd.sys",
    "C:\\Windows\\System\\vtxcls01.dll",
    "C:\\Windows\\System\\vtxpmo01.dll",
    "C:\\Windows\\System\\vtxinh01.exe",
    "C:\\Windows\\System\\kernel32.dll",
    "C:\\Windows\\System\\VMM32\\vtxvxu01.dll",
    "C:\\Windows\\Inf\\Other\\OEM0.INF",
    "C:\\Windows\\Inf\\Other\\OEM1.INF",
    "C:\\Windows\\Inf\\Other\\OEM9.INF",
    "C:\\Windows\\win.ini",
};
const char* const kReadOnlyFileNames[] = {
    "C:\\Windows\\System32\\DRIVERS\\vtxiod01.sys",
    "C:\\Windows\\System\\vtxcls01.dll",
    kHelperFile,
    kVmm32File,
};

Files UpperFiles(std::initializer_list<std::string> paths) {
    Files files;
    for (const std::string& path : paths)
        files.insert(Upper(path));
    return files;
}

Files Without(Files files, std::initializer_list<std::string> gone) {
    for (const std::string& path : gone)
        files.erase(Upper(path));
    return files;
}

Files With(Files files, std::initializer_list<std::string> added) {
    files.merge(UpperFiles(added));
    return files;
}

const Files kStartFiles = [] {
    Files files;
    for (const char* path : kStartFileNames)
        files.insert(Upper(path));
    return files;
}();

// What stays of them when the driver set goes: the two queued files wait for the restart.
const Files kAfterLastOfAll = UpperFiles({
    "C:\\Windows\\System32\\DRIVERS\\usbd.sys",
    "C:\\Windows\\System\\vtxinh01.exe",
    "C:\\Windows\\System\\kernel32.dll",
    "C:\\Windows\\System\\VMM32\\vtxvxu01.dll",
    "C:\\Windows\\Inf\\Other\\OEM1.INF",
    "C:\\Windows\\Inf\\Other\\OEM9.INF",
    "C:\\Windows\\win.ini",
    "C:\\Windows\\wininit.ini",
});

using Entries = std::vector<std::string>;
const Entries kQueuedBoth = {"NUL=C:\\Windows\\System\\vtxinh01.exe",
                             "NUL=C:\\Windows\\System\\VMM32\\vtxvxu01.dll"};

// Every scenario runs in both enumeration orders: the removal walks enumerate the class, type
// and interface keys while they delete.
class RemovalScenario : public ::testing::TestWithParam<vtxsim::EnumerationOrder> {
  protected:
    void SetUp() override {
        order_ = GetParam();
        FreshMachine();
    }
    void TearDown() override {
        vtxsim::ClearFailures();
        EXPECT_EQ(ParentKeyStack.count, 0);
    }

    static void FreshMachine() {
        vtxsim::ResetMachine();
        vtxsim::SetEnumerationOrder(order_);
        vtxsim::ClearFailures();
        ParentKeyStack.count = 0;
        for (const char* path : kStartFileNames)
            vtxsim::PutFile(path, std::string("contents of ") + path);
        for (const char* path : kReadOnlyFileNames)
            vtxsim::SetReadOnly(path, true);
        vtxsim::ImportReg(kFixtures / "neighbours.reg");
    }
    static void LoadMachine(const std::string& fixture) { vtxsim::ImportReg(kFixtures / fixture); }

    // What the helper's window creation sets before the removal runs.
    static void Remove(const std::string& model, const std::string& serial) {
        SetText(DeviceModel, model);
        SetText(DeviceSerial, serial);
        BuildModelKeyPath(ModelKeyPath, DeviceModel);
        RemoveWithModelKeyPath();
    }
    // Removes the K9 "AB12" where every file stays: the registry must end as expected says,
    // and nothing may wait for the restart.
    static void RemoveKeepingFiles(const std::string& expected) {
        SCOPED_TRACE(expected);
        Remove("Draftaire K9", "AB12");
        EXPECT_EQ(MachineRegistry(), Expected(expected));
        EXPECT_EQ(MachineFiles(), kStartFiles);
        EXPECT_FALSE(vtxsim::FileExists(kWininit));
    }
    static void RemoveWithModelKeyPath() {
        unsigned handles = vtxsim::OpenKeyHandleCount();
        RemoveDevice();
        EXPECT_EQ(vtxsim::OpenKeyHandleCount(), handles) << "registry handles left open";
    }
    static void SetText(char* buffer, const std::string& text) {
        ASSERT_LT(text.size(), static_cast<size_t>(HELPER_TEXT_SIZE));
        text.copy(buffer, text.size());
        buffer[text.size()] = '\0';
    }

    static Registry MachineRegistry() { return RegistryOf(vtxsim::ExportRegistrySections()); }
    static Registry Expected(const std::string& fixture, const std::string& extra = "") {
        return FixtureRegistry({"neighbours.reg", fixture}, extra);
    }
    static bool IsReadOnly(const char* path) {
        return (GetFileAttributesA(path) & FILE_ATTRIBUTE_READONLY) != 0;
    }

    static inline vtxsim::EnumerationOrder order_ = vtxsim::EnumerationOrder::Creation;
};

TEST_P(RemovalScenario, SecondDeviceOfATypeKeepsEverythingShared) {
    LoadMachine("two_devices_one_type.reg");
    RemoveKeepingFiles("second_of_type_expected.reg");
}

TEST_P(RemovalScenario, LastDeviceOfItsTypeWhileAnotherModelStays) {
    LoadMachine("two_models.reg");
    Remove("Draftaire K9", "AB12");
    EXPECT_EQ(MachineRegistry(), Expected("last_of_type_other_model_expected.reg"));
    EXPECT_EQ(MachineFiles(), Without(kStartFiles, {"C:\\Windows\\Inf\\Other\\OEM0.INF"}));
    EXPECT_FALSE(vtxsim::FileExists(kWininit));
}

TEST_P(RemovalScenario, LastDeviceOfAllTakesTheDriverSetAndQueuesFilesInUse) {
    LoadMachine("one_device.reg");
    Remove("Draftaire K9", "AB12");
    EXPECT_EQ(MachineRegistry(), Expected("last_of_all_expected.reg"));
    EXPECT_EQ(MachineFiles(), kAfterLastOfAll);
    // Without a "RENAME" section the first entry creates it and the second follows it.
    EXPECT_EQ(RenameEntries(), kQueuedBoth);
    EXPECT_FALSE(IsReadOnly(kHelperFile));
    EXPECT_FALSE(IsReadOnly(kVmm32File));

    std::vector<vtxsim::RestartStep> steps = vtxsim::RestartMachine();
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(steps[0].kind, vtxsim::RestartStepKind::Deleted) << Describe(steps[0]);
    EXPECT_EQ(steps[1].kind, vtxsim::RestartStepKind::Deleted) << Describe(steps[1]);
    EXPECT_EQ(MachineFiles(), With(Without(kAfterLastOfAll, {kHelperFile, kVmm32File, kWininit}),
                                   {"C:\\Windows\\wininit.bak"}));
}

TEST_P(RemovalScenario, FilesGoOneAfterAnotherAndOnlyTheDriverSetLosesReadOnly) {
    // The INF file is deleted as it is: read-only, it stays.
    const std::string inf = "C:\\Windows\\Inf\\Other\\OEM0.INF";
    LoadMachine("one_device.reg");
    vtxsim::SetReadOnly(inf, true);
    Remove("Draftaire K9", "AB12");
    EXPECT_EQ(MachineFiles(), With(kAfterLastOfAll, {inf}));
    EXPECT_TRUE(IsReadOnly(inf.c_str()));

    // The INF file first, then the driver files in their order: the nth deletion failing
    // leaves the nth file.
    const std::string order[] = {inf, "C:\\Windows\\System32\\DRIVERS\\vtxubd01.sys",
                                 "C:\\Windows\\System32\\DRIVERS\\vtxiod01.sys",
                                 "C:\\Windows\\System\\vtxcls01.dll",
                                 "C:\\Windows\\System\\vtxpmo01.dll"};
    for (unsigned n = 1; n <= std::size(order); ++n) {
        SCOPED_TRACE(order[n - 1]);
        FreshMachine();
        LoadMachine("one_device.reg");
        vtxsim::FailCall("DeleteFileA", n, ERROR_SHARING_VIOLATION);
        Remove("Draftaire K9", "AB12");
        EXPECT_EQ(MachineFiles(), With(kAfterLastOfAll, {order[n - 1]}));
    }
}

TEST_P(RemovalScenario, ThreeDevicesRemovedOneAfterAnother) {
    LoadMachine("three_devices.reg");
    Remove("Draftaire K9", "AB12");
    EXPECT_EQ(MachineFiles(), kStartFiles);
    EXPECT_TRUE(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTXIO\\K9"));

    Remove("Draftaire K9", "CD34");
    EXPECT_EQ(MachineFiles(), Without(kStartFiles, {"C:\\Windows\\Inf\\Other\\OEM0.INF"}));
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTXIO\\K9"));
    EXPECT_TRUE(vtxsim::KeyExists("HKLM\\System\\CurrentControlSet\\Services\\Vtxiod01"));
    EXPECT_FALSE(vtxsim::FileExists(kWininit));

    Remove("Draftaire M2", "EF56");
    EXPECT_EQ(MachineRegistry(), Expected("three_devices_expected.reg"));
    EXPECT_EQ(MachineFiles(), Without(kAfterLastOfAll, {"C:\\Windows\\Inf\\Other\\OEM1.INF"}));
    EXPECT_EQ(RenameEntries(), kQueuedBoth);
}

TEST_P(RemovalScenario, WithoutItsClassInstanceTheDriverSetKeysGoButNoFile) {
    // No "Enum\USB" type key: no driver value can be read, so the class instance stays.
    LoadMachine("one_device.reg");
    vtxsim::DeleteRegistryKey("HKLM\\Enum\\USB\\VID_0D7A&PID_0042");
    RemoveKeepingFiles("without_inf_expected.reg");

    // No "driver" value: the same remains.
    FreshMachine();
    LoadMachine("one_device.reg");
    vtxsim::ImportRegText("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Enum\\USB\\VID_0D7A&PID_0042\\AB12]\n"
                          "\"driver\"=-\n");
    RemoveKeepingFiles("without_inf_expected.reg");

    // A class instance without "InfPath": it goes, but the INF file and driver files stay.
    FreshMachine();
    LoadMachine("one_device.reg");
    vtxsim::ImportRegText("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\"
                          "Class\\USB Draftaire\\0000]\n\"InfPath\"=-\n");
    RemoveKeepingFiles("without_inf_path_expected.reg");
}

TEST_P(RemovalScenario, VxdKeyKeepsTheVmm32Library) {
    const std::string vxd = "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD\\"
                            "Vtxiod01]\n\"StaticVxD\"=\"vtxvxu01.vxd\"\n";
    LoadMachine("one_device.reg");
    vtxsim::ImportRegText("REGEDIT4\n\n" + vxd);
    Remove("Draftaire K9", "AB12");
    EXPECT_EQ(MachineRegistry(), Expected("last_of_all_expected.reg", vxd));
    EXPECT_EQ(RenameEntries(), Entries{"NUL=C:\\Windows\\System\\vtxinh01.exe"});
    EXPECT_TRUE(IsReadOnly(kVmm32File));
    vtxsim::RestartMachine();
    EXPECT_TRUE(vtxsim::FileExists(kVmm32File));
    EXPECT_FALSE(vtxsim::FileExists(kHelperFile));
}

TEST_P(RemovalScenario, EntriesAlreadyQueuedStayInOrderBeforeTheNewOnes) {
    vtxsim::PutFile(kWininit,
                    "[Other]\r\nx=1\r\n[RENAME]\r\n"
                    "C:\\Windows\\System\\vtxinh01.exe=C:\\Windows\\System\\01234567.ex_\r\n"
                    "NUL=C:\\Windows\\System\\vtxinh01.exe\r\n");
    LoadMachine("one_device.reg");
    Remove("Draftaire K9", "AB12");
    Entries expected = {"C:\\Windows\\System\\vtxinh01.exe=C:\\Windows\\System\\01234567.ex_",
                        "NUL=C:\\Windows\\System\\vtxinh01.exe"};
    expected.insert(expected.end(), kQueuedBoth.begin(), kQueuedBoth.end());
    EXPECT_EQ(RenameEntries(), expected);
    char value[16] = "marker";
    EXPECT_EQ(GetPrivateProfileStringA("Other", "x", "", value, sizeof value, "wininit.ini"), 1u);
    EXPECT_STREQ(value, "1");
}

TEST_P(RemovalScenario, CutRenameSectionIsNeverWrittenBackShorter) {
    // More than the 32767 characters that the section update reads at once.
    std::string wininit = "[RENAME]\r\n";
    for (int i = 0; i < 500; ++i)
        wininit += "NUL=C:\\Windows\\Temp\\a-rather-long-name-of-a-temporary-file-number-" +
                   std::to_string(i) + ".tmp\r\n";
    ASSERT_GT(wininit.size(), 32767u);
    vtxsim::PutFile(kWininit, wininit);
    LoadMachine("one_device.reg");
    Remove("Draftaire K9", "AB12");
    EXPECT_EQ(vtxsim::GetFileContents(kWininit), wininit);
    EXPECT_EQ(MachineRegistry(), Expected("last_of_all_expected.reg"));
    EXPECT_EQ(QueueDeleteAtRestart(kHelperFile), static_cast<DWORD>(HELPER_ERROR_RENAME_NOT_SAVED));
    EXPECT_EQ(vtxsim::GetFileContents(kWininit), wininit);
}

TEST_P(RemovalScenario, WithoutProductIdSerialOrModelKeyNothingIsDeleted) {
    LoadMachine("one_device.reg");
    Registry before = MachineRegistry();
    for (auto [model, serial] : {std::pair{"Draftaire K9", ""}, std::pair{"Draftaire Z1", "AB12"},
                                 std::pair{"Draftaire", "AB12"}, std::pair{"", "AB12"}}) {
        SCOPED_TRACE(std::string(model) + "/" + serial);
        Remove(model, serial);
        EXPECT_EQ(MachineRegistry(), before);
        EXPECT_EQ(MachineFiles(), kStartFiles);
    }
}

TEST_P(RemovalScenario, AbsentModelRemainderLeavesTheModelKeysAlone) {
    // The model names no remainder, but a model key path was given: the INF file goes, the
    // keys of the model and of the device below "VTX" stay.
    LoadMachine("one_device.reg");
    SetText(DeviceModel, "Draftaire");
    SetText(DeviceSerial, "AB12");
    SetText(ModelKeyPath, "Software\\Kelvara\\VTXIO\\K9");
    RemoveWithModelKeyPath();
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Enum\\USB\\VID_0D7A&PID_0042"));
    EXPECT_EQ(vtxsim::SubkeyNames("HKLM\\Software\\Kelvara\\VTXIO"),
              std::vector<std::string>{"K9"});
    EXPECT_EQ(vtxsim::SubkeyNames("HKLM\\Software\\Kelvara\\VTX"), std::vector<std::string>{"K9"});
    EXPECT_TRUE(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTX\\K9\\AB12"));
    EXPECT_EQ(MachineFiles(), Without(kStartFiles, {"C:\\Windows\\Inf\\Other\\OEM0.INF"}));
}

TEST_P(RemovalScenario, InfPathThatIsNoBareFileNameDeletesNoFile) {
    for (const char* infPath :
         {"..\\..\\System\\kernel32.dll", "C:\\Windows\\win.ini", "../../win.ini", "C:win.ini",
          "..", "\\Windows\\win.ini", "*.INF", "OEM?.INF"}) {
        SCOPED_TRACE(infPath);
        FreshMachine();
        LoadMachine("one_device.reg");
        vtxsim::SetStringValue(
            "HKLM\\System\\CurrentControlSet\\Services\\Class\\USB Draftaire\\0000", "InfPath",
            infPath);
        unsigned deletesBefore = vtxsim::CallCount("DeleteFileA");
        Remove("Draftaire K9", "AB12");
        // Only the four driver files are asked for: the INF name never reaches the platform.
        EXPECT_EQ(vtxsim::CallCount("DeleteFileA") - deletesBefore, 4u);
        // Every key goes as usual; only the INF file is left alone.
        EXPECT_EQ(MachineRegistry(), Expected("last_of_all_expected.reg"));
        EXPECT_EQ(MachineFiles(), With(kAfterLastOfAll, {"C:\\Windows\\Inf\\Other\\OEM0.INF"}));
    }
}

TEST_P(RemovalScenario, NamesTooLongForTheirPathsAreRefusedNotCut) {
    // A serial number one character too long for the driver value's key path: cut, it would
    // name the device whose serial is its first 232 characters and remove that one's class
    // instance.
    const std::string longSerial(232, 'A');
    LoadMachine("one_device.reg");
    vtxsim::SetStringValue("HKLM\\Enum\\USB\\VID_0D7A&PID_0042\\" + longSerial, "driver",
                           "USB Draftaire\\0001");
    vtxsim::SetStringValue("HKLM\\System\\CurrentControlSet\\Services\\Class\\USB Draftaire\\0001",
                           "InfPath", "OEM1.INF");
    Registry before = MachineRegistry();
    Remove("Draftaire K9", longSerial + "A");
    EXPECT_EQ(MachineRegistry(), before);
    EXPECT_EQ(MachineFiles(), kStartFiles);

    // An INF name one character too long for its path: cut, it would name another file.
    const std::string longInf(239, 'I');
    const std::string otherFile = "C:\\Windows\\Inf\\Other\\" + longInf.substr(1);
    FreshMachine();
    vtxsim::PutFile(otherFile, "another INF file");
    LoadMachine("one_device.reg");
    vtxsim::SetStringValue("HKLM\\System\\CurrentControlSet\\Services\\Class\\USB Draftaire\\0000",
                           "InfPath", longInf);
    Remove("Draftaire K9", "AB12");
    EXPECT_EQ(MachineRegistry(), Expected("last_of_all_expected.reg"));
    EXPECT_EQ(MachineFiles(),
              With(kAfterLastOfAll, {"C:\\Windows\\Inf\\Other\\OEM0.INF", otherFile}));
}

TEST_P(RemovalScenario, TypeKeyWhoseSubkeysCannotBeCountedKeepsWhatIsShared) {
    LoadMachine("one_device.reg");
    vtxsim::FailCall("RegQueryInfoKeyA", 1, ERROR_REGISTRY_CORRUPT);
    Remove("Draftaire K9", "AB12");
    EXPECT_TRUE(vtxsim::KeyExists("HKLM\\Enum\\USB\\VID_0D7A&PID_0042"));
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Enum\\USB\\VID_0D7A&PID_0042\\AB12"));
    EXPECT_FALSE(
        vtxsim::KeyExists("HKLM\\System\\CurrentControlSet\\Services\\Class\\USB Draftaire\\0000"));
    EXPECT_TRUE(vtxsim::KeyExists("HKLM\\System\\CurrentControlSet\\Services\\Vtxiod01\\"
                                  "Parameters\\StaticDeviceConfig\\Draftaire K9"));
    EXPECT_TRUE(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTXIO\\K9"));
    EXPECT_EQ(MachineFiles(), kStartFiles);
    EXPECT_FALSE(vtxsim::FileExists(kWininit));
}

TEST_P(RemovalScenario, InstallRightAfterRemovalKeepsTheHelperFileAndTheLibrary) {
    char removal[] = "-action=64 -model=Draftaire K9 -serial=AB12";
    char install[] = "-action=2 -model=Draftaire K9 -serial=AB12";
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
    LoadMachine("one_device.reg");
    EXPECT_EQ(WinMain(instance, nullptr, removal, SW_SHOWNORMAL), 0);
    EXPECT_EQ(MachineRegistry(), Expected("last_of_all_expected.reg"));

    // The printer comes back: the maker's installation puts its keys and files back, then the
    // helper's install takes back the library's deletion, copies its own file and queues the
    // copy's move after the helper's deletion, which stays.
    vtxsim::ResetWindows();
    LoadMachine("one_device.reg");
    for (const char* path : kStartFileNames)
        vtxsim::PutFile(path, std::string("contents of ") + path);
    vtxsim::SetTickCount(1234567);
    EXPECT_EQ(WinMain(instance, nullptr, install, SW_SHOWNORMAL), 0);
    EXPECT_EQ(RenameEntries(),
              (Entries{"NUL=C:\\Windows\\System\\vtxinh01.exe",
                       "C:\\Windows\\System\\vtxinh01.exe=C:\\Windows\\System\\01234567.ex_"}));

    vtxsim::RestartMachine();
    EXPECT_EQ(vtxsim::GetFileContents(kHelperFile), std::string("contents of ") + kHelperFile);
    EXPECT_FALSE(vtxsim::FileExists("C:\\Windows\\System\\01234567.ex_"));
    EXPECT_EQ(vtxsim::GetFileContents(kVmm32File), std::string("contents of ") + kVmm32File);
}

INSTANTIATE_TEST_SUITE_P(EitherOrder, RemovalScenario,
                         ::testing::ValuesIn(vtxsim::kEnumerationOrders), [](const auto& info) {
                             return std::string(vtxsim::EnumerationOrderName(info.param));
                         });

} // namespace
