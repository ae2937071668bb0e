// The registry kept in the machine directory: shared between processes, one transaction per
// call, seeded from "registry.reg", and the REGEDIT4 loader that also imports fixtures.
#include "platform/sim/case_folding.h"
#include "platform/sim/code_page_1252.h"
#include "platform/sim/regedit4.h"
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/registry_ctl.h"
#include "platform/win32api.h"
#include "support/machine_directory.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <tuple>

namespace {

namespace fs = std::filesystem;

const fs::path kFixture = fs::path(VTX_FIXTURES_DIR) / "every_value_kind.reg";
const std::string kEveryKind = "HKLM\\Software\\Kelvara\\VTXIO\\Every Kind";

class RegistryPersistence : public ::testing::Test {
  protected:
    void SetUp() override {
        vtxsim::ResetMachine();
        vtxsim::ClearFailures();
    }

    static void WriteText(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    vtxtest::MachineDirectory machine_;
};

// Runs body in a child process on the same machine directory; returns its exit status.
template <class Body> int InChild(const fs::path& dir, Body body) {
    pid_t child = fork();
    if (child == 0) {
        vtxsim::UseMachine(dir);
        _exit(body());
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST_F(RegistryPersistence, TwoProcessesSeeEachOthersChanges) {
    HKEY shared = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Shared", &shared), 0);
    const BYTE parentData[] = "from parent";
    ASSERT_EQ(RegSetValueExA(shared, "Parent", 0, REG_SZ, parentData, sizeof parentData), 0);
    vtxsim::SetStringValue("HKLM\\Software\\Shared\\Doomed", "x", "y");
    HKEY doomed = nullptr;
    ASSERT_EQ(RegOpenKeyExA(shared, "doomed", 0, KEY_ALL_ACCESS, &doomed), 0);

    int status = InChild(machine_.Path(), [] {
        if (vtxsim::StringValue("HKLM\\Software\\Shared", "Parent") != "from parent")
            return 1;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\SHARED", 0, KEY_ALL_ACCESS, &key) != 0)
            return 2;
        const BYTE childData[] = "from child";
        if (RegSetValueExA(key, "Child", 0, REG_SZ, childData, sizeof childData) != 0)
            return 3;
        if (RegDeleteKeyA(key, "Doomed") != 0 || RegCloseKey(key) != 0)
            return 4;
        return 0;
    });
    ASSERT_EQ(status, 0);

    // The parent's handles name their keys by path, so they survive the reload.
    char data[32] = {};
    DWORD size = sizeof data;
    EXPECT_EQ(
        RegQueryValueExA(shared, "Child", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
        ERROR_SUCCESS);
    EXPECT_STREQ(data, "from child");
    size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(doomed, "x", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(doomed), 0);
    EXPECT_EQ(RegCloseKey(shared), 0);
    for (const auto& entry : fs::directory_iterator(machine_.Path()))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST_F(RegistryPersistence, ARegistryFileSeedsTheMachineAndIsTakenInAgainOnlyWhenReplaced) {
    const std::string seed = "HKLM\\Software\\Seed";
    WriteText(machine_.Path() / "registry.reg",
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Seed]\n\"v\"=\"first\"\n");
    int status = InChild(machine_.Path(), [&seed] {
        if (vtxsim::StringValue(seed, "v") != "first")
            return 1;
        vtxsim::SetStringValue(seed, "w", "added");
        return 0;
    });
    ASSERT_EQ(status, 0);
    EXPECT_EQ(vtxsim::StringValue(seed, "w"), "added"); // not taken in again over the change
    vtxsim::UseMachine({});
    vtxsim::UseMachine(machine_.Path());
    EXPECT_EQ(vtxsim::StringValue(seed, "w"), "added");

    // A new file is the whole registry.
    WriteText(machine_.Path() / "registry.reg",
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Other]\n");
    EXPECT_FALSE(vtxsim::KeyExists(seed));
    EXPECT_TRUE(vtxsim::KeyExists("HKLM\\Software\\Other"));

    // The file the machine writes is its own registry: not taken in over later changes.
    vtxsim::SetDwordValue("HKLM\\Software\\Other", "n", 5);
    vtxsim::WriteRegistryFile();
    std::ifstream in(machine_.Path() / "registry.reg", std::ios::binary);
    std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, vtxsim::ExportRegistry());
    vtxsim::SetDwordValue("HKLM\\Software\\Other", "n", 6);
    vtxsim::UseMachine({});
    vtxsim::UseMachine(machine_.Path());
    EXPECT_EQ(vtxsim::DwordValue("HKLM\\Software\\Other", "n"), 6u);
}

TEST_F(RegistryPersistence, AKilledWriterLeavesAWholeRegistry) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        vtxsim::UseMachine(machine_.Path());
        HKEY key = nullptr;
        RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\Busy", &key);
        std::string filler(4000, 'x');
        for (DWORD i = 0;; ++i) {
            RegSetValueExA(key, ("Value" + std::to_string(i % 50)).c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(filler.c_str()),
                           static_cast<DWORD>(filler.size() + 1));
            if (i == 20)
                (void)!write(ready[1], "r", 1);
        }
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    // A half-written registry would stop this process with a machine fault.
    std::vector<std::string> names = vtxsim::ValueNames("HKLM\\Software\\Busy");
    EXPECT_GE(names.size(), 20u);
    EXPECT_EQ(vtxsim::StringValue("HKLM\\Software\\Busy", "Value0"), std::string(4000, 'x'));
}

TEST_F(RegistryPersistence, EveryValueKindSurvivesImportExportAndReimport) {
    vtxsim::ImportReg(kFixture);
    using Raw = vtxsim::RegistryValue;
    auto bytes = [](std::string_view text) { return std::vector<BYTE>(text.begin(), text.end()); };
    EXPECT_EQ(vtxsim::RawValue(kEveryKind, ""), (Raw{REG_SZ, bytes({"the default value\0", 18})}));
    EXPECT_EQ(vtxsim::StringValue(kEveryKind, "Text"), "C:\\Program Files\\Kelvara");
    EXPECT_EQ(vtxsim::StringValue(kEveryKind, "Quoted"), "say \"hi\"");
    EXPECT_EQ(vtxsim::RawValue(kEveryKind, "Empty"), (Raw{REG_SZ, {0}}));
    EXPECT_EQ(vtxsim::DwordValue(kEveryKind, "Number"), 0xbeefu);
    EXPECT_EQ(vtxsim::DwordValue(kEveryKind, "Small"), 7u);
    EXPECT_EQ(vtxsim::RawValue(kEveryKind, "Bytes"), (Raw{REG_BINARY, {0, 1, 0x7f, 0x80, 0xff}}));
    EXPECT_EQ(vtxsim::RawValue(kEveryKind, "NoBytes"), (Raw{REG_BINARY, {}}));
    EXPECT_EQ(vtxsim::RawValue(kEveryKind, "Expand"),
              (Raw{REG_EXPAND_SZ, bytes({"%windir%\0", 9})}));
    EXPECT_EQ(vtxsim::RawValue(kEveryKind, "Multi"), (Raw{REG_MULTI_SZ, bytes({"a\0bc\0\0", 6})}));
    EXPECT_EQ(vtxsim::RawValue(kEveryKind, "None"), (Raw{REG_NONE, {1, 2}}));
    EXPECT_EQ(vtxsim::RawValue(kEveryKind, "Unterminated"), (Raw{REG_SZ, bytes("abc")}));
    EXPECT_EQ(vtxsim::RawValue(kEveryKind, "InnerZero"), (Raw{REG_SZ, bytes({"a\0b\0", 4})}));
    EXPECT_EQ(vtxsim::RawValue(kEveryKind, "ShortDword"), (Raw{REG_DWORD, {1, 2}}));
    std::optional<Raw> longValue = vtxsim::RawValue(kEveryKind, "Long");
    ASSERT_TRUE(longValue);
    EXPECT_EQ(longValue->data.size(), 50u);
    EXPECT_EQ(longValue->data.back(), 0x31);
    EXPECT_EQ(vtxsim::RawValue(kEveryKind, "Gone"), std::nullopt);
    EXPECT_TRUE(vtxsim::KeyExists(kEveryKind + "\\Empty Key"));
    EXPECT_FALSE(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\Removed"));
    EXPECT_EQ(vtxsim::StringValue("HKCU\\Software\\Kelvara", "User"), "per user");

    // A value with a line break in its text must not break the file.
    vtxsim::SetStringValue(kEveryKind, "Lines", "one\r\ntwo");

    const std::string exported = vtxsim::ExportRegistry();
    std::vector<std::string> names = vtxsim::ValueNames(kEveryKind);
    std::vector<std::optional<Raw>> values;
    for (const std::string& name : names)
        values.push_back(vtxsim::RawValue(kEveryKind, name));

    // Through the machine directory: a fresh process view reads the registry back.
    vtxsim::UseMachine({});
    EXPECT_FALSE(vtxsim::KeyExists(kEveryKind));
    vtxsim::UseMachine(machine_.Path());
    EXPECT_EQ(vtxsim::ExportRegistry(), exported);

    // Through the text: re-importing the export into an empty machine gives the same bytes.
    vtxsim::ResetMachine();
    vtxsim::ImportRegText(exported);
    EXPECT_EQ(vtxsim::ExportRegistry(), exported);
    EXPECT_EQ(vtxsim::ValueNames(kEveryKind), names);
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(vtxsim::RawValue(kEveryKind, names[i]), values[i]) << names[i];

    // A real machine's export also holds HKEY_USERS and HKEY_CLASSES_ROOT: kept and written back.
    const std::string users = "[HKEY_USERS\\.DEFAULT\\Software]\n\"a\"=\"1\"\n\n"
                              "[HKEY_CLASSES_ROOT\\.txt]\n@=\"txtfile\"\n\n";
    vtxsim::ImportRegText("REGEDIT4\n\n" + users);
    EXPECT_EQ(vtxsim::StringValue("HKU\\.DEFAULT\\Software", "a"), "1");
    EXPECT_NE(vtxsim::ExportRegistry().find("\n[HKEY_USERS\\.DEFAULT]\n\n" + users),
              std::string::npos);
}

TEST_F(RegistryPersistence, AMalformedFixtureNamesFileAndLineAndChangesNothing) {
    vtxsim::SetStringValue("HKLM\\Software\\Before", "Kept", "yes");
    const std::string before = vtxsim::ExportRegistry();
    const std::string good = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Half]\n\"a\"=\"1\"\n";
    using Fault = vtxsim::Regedit4Fault;
    const std::vector<std::tuple<std::string, std::string, Fault>> cases = {
        {"[HKEY_LOCAL_MACHINE\\Software\\X]\n", ":1:", Fault::NotAnExport},
        {"", ":1:", Fault::Empty},
        {" \r\n\r\n", ":2:", Fault::Empty},
        {std::string("\xFF\xFE", 2), ":1:", Fault::Empty},
        {good + "\"b\"=dword:xyz\n", ":5:", Fault::Malformed},
        {good + "\"b\"=\"unterminated\n", ":5:", Fault::Malformed},
        {good + "\"b\"=\"bad \\q escape\"\n", ":5:", Fault::Malformed},
        {good + "\"b\"=hex:01,02,\\\n  03,zz\n", ":6:", Fault::Malformed},
        {good + "\n[HKEY_NO_SUCH_ROOT\\x]\n", ":6:", Fault::Malformed},
        {good + "[HKEY_LOCAL_MACHINE\\Software\\Half\n", ":5:", Fault::Malformed},
        {good + "[-HKEY_LOCAL_MACHINE\\Software\\Half]\n\"c\"=\"2\"\n", ":6:", Fault::Malformed},
        {good + "\"b\"=text\n", ":5:", Fault::Malformed},
        {good + "b=\"text\"\n", ":5:", Fault::Malformed},
        // Cut short: regedit ends every line, so a last line without its end is a cut file.
        {good + "\"b\"=hex:01,\\\n", ":5:", Fault::CutShort},
        {good + "\"b\"=hex:01,02,\\\r\n  03,0", ":6:", Fault::CutShort},
        {good + "\"b\"=\"unterm", ":5:", Fault::CutShort},
        {good + "\"b\"=dword:0000", ":5:", Fault::CutShort},
        {std::string("\xFF\xFER\0E\0G\0", 9), ":1:", Fault::CutShort},
    };
    int index = 0;
    for (const auto& [text, line, fault] : cases) {
        fs::path file = machine_.Path() / ("bad" + std::to_string(index++) + ".reg");
        WriteText(file, text);
        try {
            vtxsim::ImportReg(file);
            ADD_FAILURE() << "accepted:\n" << text;
        } catch (const vtxsim::Regedit4Error& error) {
            EXPECT_NE(std::string(error.what()).find(file.string() + line), std::string::npos)
                << error.what();
            EXPECT_EQ(error.Fault(), fault) << error.what();
        }
        EXPECT_EQ(vtxsim::ExportRegistry(), before) << text;
    }
    EXPECT_THROW(vtxsim::ImportReg(machine_.Path() / "missing.reg"), std::runtime_error);
}

// Little-endian bytes with the byte order mark: the file a newer regedit writes.
std::string Utf16File(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// "Windows Registry Editor Version 5.00" as regedit writes it: UTF-16 with CR LF, strings in
// hex as UTF-16, hex lists wrapped, names in other letter cases than the reader is asked for.
TEST_F(RegistryPersistence, AVersion5ExportReadsAsCodePage1252AndTellsWhereEachNameStands) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n"
        u"\r\n"
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kelvara\\VTXIO\\k9]\r\n"
        u"\"SetupRootPath\"=\"C:\\\\Caf\u00e9\"\r\n"
        u"\"Price\"=\"\u20ac5 \u4e2d\"\r\n"
        u"\"Path\"=hex(2):25,00,77,00,69,00,6e,00,64,00,69,00,72,00,25,00,00,00\r\n"
        u"\"List\"=hex(7):61,00,00,00,62,00,e9,00,00,00,\\\r\n"
        u"  00,00\r\n"
        u"\"Bytes\"=hex:01,02,\\\r\n"
        u"  03\r\n"
        u"\r\n"
        u"[HKEY_CURRENT_USER\\Software]\r\n"
        u"@=dword:00000002\r\n"
        u"\r\n";
    vtxsim::RegistryPlaces places =
        vtxsim::ImportRegExport(vtxsim::ExportText(Utf16File(text), "export.reg"), "export.reg");
    using Raw = vtxsim::RegistryValue;
    const std::string model = "HKLM\\Software\\Kelvara\\VTXIO\\K9";
    EXPECT_EQ(vtxsim::StringValue(model, "SetupRootPath"), "C:\\Caf\xE9");
    EXPECT_EQ(vtxsim::StringValue(model, "Price"), "\x80"
                                                   "5 ?");
    EXPECT_EQ(vtxsim::RawValue(model, "Path"),
              (Raw{REG_EXPAND_SZ, {'%', 'w', 'i', 'n', 'd', 'i', 'r', '%', 0}}));
    EXPECT_EQ(vtxsim::RawValue(model, "List"), (Raw{REG_MULTI_SZ, {'a', 0, 'b', 0xE9, 0, 0}}));
    EXPECT_EQ(vtxsim::RawValue(model, "Bytes"), (Raw{REG_BINARY, {1, 2, 3}}));

    auto place = [](const std::optional<vtxsim::Regedit4Place>& p) {
        return p ? std::to_string(p->line) + " " + p->spelling : std::string("none");
    };
    EXPECT_EQ(place(places.Key(model)), "3 HKEY_LOCAL_MACHINE\\SOFTWARE\\Kelvara\\VTXIO\\k9");
    EXPECT_EQ(place(places.Key("HKEY_LOCAL_MACHINE\\software")), "3 HKEY_LOCAL_MACHINE\\SOFTWARE");
    EXPECT_EQ(place(places.Value(model, "setuprootpath")), "4 SetupRootPath");
    EXPECT_EQ(place(places.Value(model, "bytes")), "9 Bytes");
    EXPECT_EQ(place(places.Value("HKCU\\SOFTWARE", "")), "13 ");
    EXPECT_EQ(place(places.Value(model, "Missing")), "none");
    EXPECT_EQ(place(places.Key("HKLM\\Software\\Other")), "none");
    EXPECT_TRUE(places.HasRoot(sim::RegRoot::CurrentUser));
    EXPECT_FALSE(places.HasRoot(sim::RegRoot::Users));

    // The same export saved as ANSI reads the same; its text stays REGEDIT4 when written back.
    const std::string exported = vtxsim::ExportRegistry();
    vtxsim::ResetMachine();
    std::string ansi;
    for (char16_t c : text)
        ansi += c == u'\u00e9'   ? '\xE9'
                : c == u'\u20ac' ? '\x80'
                : c > 0x7F       ? '?'
                                 : static_cast<char>(c);
    vtxsim::ImportRegText(ansi);
    EXPECT_EQ(vtxsim::ExportRegistry(), exported);
    EXPECT_TRUE(exported.starts_with("REGEDIT4\n"));
}

TEST_F(RegistryPersistence, ACorruptMachineRegistryIsAFaultNamingFileAndLine) {
    WriteText(machine_.Path() / "registry.reg",
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n\"v\"=dword:nothex\n");
    fs::path dir = machine_.Path();
    EXPECT_EXIT(
        {
            vtxsim::UseMachine({});
            vtxsim::UseMachine(dir);
        },
        ::testing::ExitedWithCode(3), "registry\\.reg:4:");
}

TEST(RegistryInMemory, AMachineWithoutDirectoryWritesNoRegistryFiles) {
    vtxsim::UseMachine({});
    vtxsim::ResetMachine();
    vtxsim::SetStringValue("HKLM\\Software\\Memory", "Only", "here");
    EXPECT_EQ(vtxsim::StringValue("HKLM\\Software\\Memory", "Only"), "here");
    EXPECT_FALSE(fs::exists(vtxsim::MachineDirectory() / "registry.reg"));
    EXPECT_FALSE(fs::exists(vtxsim::MachineDirectory() / "registry.db"));
}

// The loader finds keys through an index of its own; whatever sections an export holds (keys
// named again in another case, deleted and made again, below keys that were there before), the
// tree is the one that walking the keys level by level gives.
RC_GTEST_PROP(RegistryImport, SectionsGiveTheTreeThatCreatingAndDeletingKeyByKeyGives, ()) {
    struct Section {
        bool remove;
        std::vector<std::string> components;
        std::string value;
    };
    const std::vector<std::string> names = {"a", "A", "b", "B", "ab"};
    auto component = rc::gen::elementOf(names);
    auto sections = *rc::gen::container<std::vector<Section>>(rc::gen::build<Section>(
        rc::gen::set(&Section::remove, rc::gen::weightedElement<bool>({{1, true}, {3, false}})),
        rc::gen::set(
            &Section::components,
            rc::gen::resize(
                3, rc::gen::nonEmpty(rc::gen::container<std::vector<std::string>>(component)))),
        rc::gen::set(&Section::value, rc::gen::elementOf(std::vector<std::string>{"", "v", "V"}))));

    const std::string before = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\a\\b]\n\"v\"=\"old\"\n";
    sim::RegTree imported, expected;
    sim::ApplyRegedit4(imported, before, "before");
    sim::ApplyRegedit4(expected, before, "before");
    std::string text = "REGEDIT4\n\n";
    for (size_t i = 0; i < sections.size(); ++i) {
        const Section& section = sections[i];
        sim::RegPath path{sim::RegRoot::LocalMachine, section.components};
        text += std::string("[") + (section.remove ? "-" : "") + sim::FormatKeyPath(path) + "]\n";
        if (section.remove) {
            sim::DeleteKey(expected, path);
            continue;
        }
        sim::RegKey& key = sim::CreateKey(expected, path);
        if (!section.value.empty()) {
            std::string data = std::to_string(i);
            text += "\"" + section.value + "\"=\"" + data + "\"\n";
            std::vector<BYTE> bytes(data.begin(), data.end());
            bytes.push_back(0);
            key.SetValue(section.value, REG_SZ, bytes);
        }
    }
    sim::Regedit4Places places;
    sim::ApplyRegedit4(imported, text, "sections", &places);
    RC_ASSERT(sim::FormatRegedit4(imported) == sim::FormatRegedit4(expected));

    // Each value there stands at a line that sets it, named as that line spells it; each key
    // at a section line that names it or a key below it.
    std::vector<std::string> lines = {""};
    for (char c : text) {
        if (c == '\n')
            lines.emplace_back();
        else
            lines.back().push_back(c);
    }
    for (const Section& section : sections) {
        sim::RegPath path{sim::RegRoot::LocalMachine, section.components};
        const sim::RegKey* key = sim::FindKey(imported, path);
        if (key == nullptr)
            continue;
        std::optional<sim::Regedit4Place> keyPlace = places.Key(sim::FormatKeyPath(path));
        RC_ASSERT(keyPlace.has_value());
        RC_ASSERT(sim::StartsWithAscii(lines.at(keyPlace->line - 1).substr(1), keyPlace->spelling));
        if (section.value.empty() || key->FindValue(section.value) == nullptr)
            continue;
        std::optional<sim::Regedit4Place> valuePlace =
            places.Value(sim::FormatKeyPath(path), section.value);
        RC_ASSERT(valuePlace.has_value());
        RC_ASSERT(sim::SameAscii(valuePlace->spelling, section.value));
        RC_ASSERT(lines.at(valuePlace->line - 1).starts_with("\"" + valuePlace->spelling + "\"="));
    }
}

// Any text of code page 1252, saved as UTF-16 by a newer regedit or an editor, reads into the
// same bytes as the text itself.
RC_GTEST_PROP(RegistryImport, AUtf16ExportReadsAsItsCodePage1252Text, ()) {
    auto byte = rc::gen::suchThat(rc::gen::inRange<int>(0x20, 0x100),
                                  [](int c) { return c != '"' && c != '\\'; });
    std::vector<int> bytes = *rc::gen::container<std::vector<int>>(byte);
    std::string ansi = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\x]\r\n\"v\"=\"";
    for (int c : bytes)
        ansi += static_cast<char>(c);
    ansi += "\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : ansi) {
        char32_t unit = sim::UnicodeOf1252(static_cast<unsigned char>(c));
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    sim::RegTree fromAnsi, fromUtf16;
    sim::ApplyRegedit4(fromAnsi, ansi, "ansi");
    sim::ApplyRegedit4(fromUtf16, utf16, "utf16");
    RC_ASSERT(sim::FormatRegedit4(fromUtf16) == sim::FormatRegedit4(fromAnsi));
}

} // namespace
