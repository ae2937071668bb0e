// vtxlab explain on exports of our own making that look like a real Windows 98 registry:
// HKEY_USERS and HKEY_CLASSES_ROOT, thousands of unrelated keys, CR LF line ends, a disabled
// interface, one without Enabled, and two interfaces with one port name.
#include "lab/lab_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <tuple>
#include <nlohmann/json.hpp>
#include <set>

namespace fs = std::filesystem;
using labtest::Lab;

namespace {

const std::string kClass = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\"
                           "DeviceClasses\\{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}";

// An interface below the class key with the driver's values.
std::string Interface(const std::string& pid, const std::string& serial,
                      const std::string& values) {
    std::string name =
        "##?#USB#VID_0D7A&PID_" + pid + "#" + serial + "#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}";
    return "[" + kClass + "\\" + name + "]\n\"DeviceInstance\"=\"USB\\\\VID_0D7A&PID_" + pid +
           "\\\\" + serial + "\"\n\n[" + kClass + "\\" + name + "\\#\\Device Parameters]\n" +
           values + "\n";
}

std::string Filler() {
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{0000" + std::to_string(1000 + i) +
                "-0000-0000-C000-000000000046}]\n@=\"Object " + std::to_string(i) +
                "\"\n\"Flags\"=hex:01,00,00,00\n\n";
    return text;
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// "Windows Registry Editor Version 5.00" in UTF-16LE with its byte order mark, of ASCII text.
std::string Utf16Export(std::string text) {
    text.replace(0, text.find('\r'), "Windows Registry Editor Version 5.00");
    std::string bytes = "\xFF\xFE";
    for (char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// A file that cannot be a whole Windows 98 machine is said to be so, with what to ask for.
TEST(LabExplain, AnIncompleteExportIsNoDiagnosis) {
    labtest::TempDir tmp;
    const std::string whole = "ask the customer for the whole registry";
    const std::string again = "ask the customer to send the export again";
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"", "empty.reg:1: the file is empty", whole},
        {"Hello\r\n", "not a registry export", whole},
        {"REGEDIT4\r\n\r\n", "no HKEY_LOCAL_MACHINE in the export", whole},
        {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\"a\"=\"b\"\r\n\r\n",
         "no HKEY_LOCAL_MACHINE in the export", whole},
        {"REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\"a\"=hex:01,02,\\\r\n  03,0",
         ":5: the file ends inside a hex list", again},
        {Utf16Export("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\"a\"=\"b") + "x",
         ":4: the file ends inside a character", again},
    };
    for (const auto& [text, what, ask] : cases) {
        fs::path file = tmp.Path() / (text.empty() ? "empty.reg" : "export.reg");
        labtest::WriteText(file, text);
        labtest::Result r = Lab({"explain", file.string()});
        EXPECT_EQ(r.rc, 3) << r.out;
        EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(ask), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    labtest::Result directory = Lab({"explain", tmp.Path().string()});
    EXPECT_EQ(directory.rc, 3);
    EXPECT_NE(directory.err.find("cannot read " + tmp.Path().string() + ": it is a directory"),
              std::string::npos)
        << directory.err;
    EXPECT_NE(Lab({"explain", (tmp.Path() / "missing.reg").string()})
                  .err.find("missing.reg: No such file or directory"),
              std::string::npos);

    // A whole machine without anything of the maker's: a finding, not a clean bill.
    fs::path other = tmp.Path() / "other.reg";
    labtest::WriteText(other, WithCrLf("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft]\n"
                                       "\"a\"=\"b\"\n\n" +
                                       Filler()));
    labtest::Result none = Lab({"explain", other.string()});
    EXPECT_EQ(none.rc, 0) << none.err;
    EXPECT_NE(none.out.find("\nno Draftaire software installed: "), std::string::npos) << none.out;
    EXPECT_EQ(none.out.find("No problems found"), std::string::npos);
    nlohmann::json doc = nlohmann::json::parse(Lab({"explain", other.string(), "--json"}).out);
    EXPECT_NE(doc.at("finding").get<std::string>().find("no Draftaire software installed"),
              std::string::npos);
    EXPECT_TRUE(doc.at("interfaces").empty());
    EXPECT_TRUE(doc.at("problems").empty());
}

TEST(LabExplain, ACustomersWindows98Registry) {
    labtest::TempDir tmp;
    // A machine of the lab gives the maker's keys for three printers, as regedit would export
    // them; the rest is what a customer's machine holds besides.
    std::string m = (tmp.Path() / "m").string();
    ASSERT_EQ(Lab({"new", "--machine", m}).rc, 0);
    labtest::Result first =
        Lab({"attach", "--machine", m, "--model", "Draftaire K9", "--serial", "AB12"});
    ASSERT_EQ(first.rc, 0);
    ASSERT_EQ(Lab({"attach", "--machine", m, "--model", "Draftaire K9", "--serial", "CD34"}).rc, 0);
    ASSERT_EQ(Lab({"attach", "--machine", m, "--model", "Draftaire K7", "--serial", "EF56"}).rc, 0);
    std::string registry = Lab({"show", "registry", "--machine", m}).out;
    // The lab's machine names interfaces as Windows 98 does, numbered by the machine; the
    // interfaces added below have the Windows 2000 form, which explain reads alike.
    EXPECT_NE(first.out.find("plugged in: \\\\.\\0000000000000001#{5d2f7a10-3c4b-4e8a-9b61-"
                             "2f0c8e4d7a93}\n"),
              std::string::npos)
        << first.out;
    EXPECT_NE(registry.find("[" + kClass +
                            "\\##.#0000000000000003#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}]\n"
                            "\"DeviceInstance\"=\"USB\\\\VID_0D7A&PID_0041\\\\EF56\"\n"),
              std::string::npos)
        << registry;
    size_t enabled =
        registry.find("\"Enabled\"=dword:00000001", registry.find("\"SerialNumber\"=\"EF56\""));
    ASSERT_NE(enabled, std::string::npos);
    registry.replace(enabled, 24, "\"Enabled\"=dword:00000000");
    registry +=
        Interface("0042", "GH78",
                  "\"SerialNumber\"=\"GH78\"\n\"PortName\"=\"usb/draftaire k9/ab12\"\n"
                  "\"Enabled\"=dword:00000001\n") +
        Interface("0042", "IJ90", "\"SerialNumber\"=\"IJ90\"\n\"Product\"=\"Draftaire K9\"\n") +
        Interface("0042", "KL12", "") +
        "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Printers\\Draftaire K9 "
        "on USB]\n\"Port\"=\"USB/Draftaire K9/AB12\"\n\n"
        "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Printers\\Office "
        "Laser]\n\"Port\"=\"LPT1:\"\n\n"
        "[HKEY_USERS\\.DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer]\n"
        "\"ShellState\"=hex:24,00,00,00,32,08,00,00,00,00,00,00,00,00,00,00,00,00,00,00,\\\n"
        "  01,00,00,00,0a,00,00,00\n\n"
        "[HKEY_CLASSES_ROOT\\.txt]\n@=\"txtfile\"\n\n"
        "[HKEY_CURRENT_CONFIG\\Display\\Settings]\n\"Resolution\"=\"800,600\"\n\n" +
        Filler();
    fs::path file = tmp.Path() / "customer.reg";
    labtest::WriteText(file, WithCrLf(registry));

    labtest::Result r = Lab({"explain", file.string(), "--serial", "CD34"});
    ASSERT_EQ(r.rc, 1) << r.err; // problems found
    auto block = [&](const std::string& instance) {
        size_t start = r.out.find("\n  " + instance + " ");
        return start == std::string::npos ? std::string()
                                          : r.out.substr(start, r.out.find("\n\n", start) - start);
    };
    EXPECT_NE(block("USB\\VID_0D7A&PID_0042\\AB12").find("two interfaces merge into one port"),
              std::string::npos)
        << r.out;
    EXPECT_NE(block("USB\\VID_0D7A&PID_0042\\CD34").find("port \"USB/Draftaire K9/CD34\""),
              std::string::npos);
    std::string disabled = block("USB\\VID_0D7A&PID_0041\\EF56");
    EXPECT_NE(disabled.find("Enabled is 0: listed, cannot be opened"), std::string::npos);
    EXPECT_NE(disabled.find("EnumPorts lists it, OpenPort refuses it"), std::string::npos)
        << disabled;
    EXPECT_NE(block("USB\\VID_0D7A&PID_0042\\IJ90").find("no Enabled value: no port"),
              std::string::npos);
    EXPECT_NE(block("USB\\VID_0D7A&PID_0042\\KL12").find("names it \"USB/Draftaire/Unknown\""),
              std::string::npos);
    EXPECT_NE(block("USB\\VID_0D7A&PID_0042\\GH78").find("which prints here"), std::string::npos);
    // GH78 is both made and sorted after AB12: the merge ends the same in either order.
    EXPECT_EQ(r.out.find("depends on the order"), std::string::npos);
    EXPECT_NE(r.out.find("\"Draftaire K9 on USB\" uses port \"USB/Draftaire K9/AB12\", a port of "
                         "the monitor"),
              std::string::npos);
    EXPECT_NE(r.out.find("\"Office Laser\" uses port \"LPT1:\": not a port of this monitor"),
              std::string::npos);
    // The removal part is detach --dry-run's: the device's keys, and the shared ones stay.
    size_t removal = r.out.find("If CD34 were removed");
    ASSERT_NE(removal, std::string::npos);
    EXPECT_NE(r.out.find("Print\\Monitors\\CD34", removal), std::string::npos);
    EXPECT_EQ(r.out.find("Software\\Kelvara\\VTXIO\\K9\n", removal), std::string::npos);
    EXPECT_NE(r.out.find("stays (the helper keeps it)", removal), std::string::npos);
    EXPECT_NE(r.out.find("Kelvara\\VTX\\K9\\CD34: the setup program's CmdLine", removal),
              std::string::npos);

    // After the description, one line per problem, each naming its key.
    size_t found = r.out.find("\nProblems found (");
    ASSERT_NE(found, std::string::npos) << r.out;
    std::string problems = r.out.substr(found);
    for (const char* line :
         {"##.#0000000000000001#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}\\#\\Device "
          "Parameters: two interfaces merge",
          "#IJ90#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}\\#\\Device Parameters: "
          "an interface without a port: no Enabled value",
          "#KL12#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}\\#\\Device Parameters: "
          "an interface whose key has no values"})
        EXPECT_NE(problems.find(line), std::string::npos) << line << "\n" << problems;
    EXPECT_EQ(problems.find("Office Laser"), std::string::npos) << problems;

    // The same facts as one JSON document.
    labtest::Result j = Lab({"explain", file.string(), "--serial", "CD34", "--json"});
    ASSERT_EQ(j.rc, 1) << j.err;
    nlohmann::json doc = nlohmann::json::parse(j.out);
    EXPECT_EQ(doc.at("version"), 1);
    EXPECT_EQ(doc.at("interfaces").size(), 6u);
    EXPECT_EQ(
        problems.find("\nProblems found (" + std::to_string(doc.at("problems").size()) + "):\n"),
        0u);
    EXPECT_EQ(doc.at("removalPreview").at("serial"), "CD34");
    EXPECT_FALSE(doc.at("removalPreview").at("stays").empty());

    // The monitor refuses a disabled port without an error code; print says why in words.
    std::string loaded = (tmp.Path() / "loaded").string();
    ASSERT_EQ(Lab({"new", "--machine", loaded, "--from", file.string()}).rc, 0);
    labtest::WriteText(tmp.Path() / "job.prn", "job");
    labtest::Result refused = Lab({"print", "--machine", loaded, "--port", "USB/Draftaire K7/EF56",
                                   (tmp.Path() / "job.prn").string()});
    EXPECT_EQ(refused.rc, 1);
    EXPECT_NE(refused.err.find("no enabled interface provides that port"), std::string::npos)
        << refused.err;

    labtest::WriteText(tmp.Path() / "bad.reg",
                       "REGEDIT4\r\n\r\n[HKEY_USERS\\x]\r\n\"a\"=dword:zz\r\n");
    labtest::Result bad = Lab({"explain", (tmp.Path() / "bad.reg").string()});
    EXPECT_EQ(bad.rc, 3);
    EXPECT_NE(bad.err.find("bad.reg:4: bad dword"), std::string::npos) << bad.err;
    EXPECT_EQ(Lab({"explain", (tmp.Path() / "missing.reg").string()}).rc, 3);
    EXPECT_EQ(Lab({"explain", file.string(), "--serial", "ZZ00"}).rc, 2);
}

TEST(LabExplain, AnExportWithoutMonitorInstancesStillShowsThePorts) {
    labtest::TempDir tmp;
    fs::path file = tmp.Path() / "bare.reg";
    labtest::WriteText(
        file, WithCrLf("REGEDIT4\n\n" +
                       Interface("0042", "MN34",
                                 "\"SerialNumber\"=\"MN34\"\n\"Product\"=\"Draftaire K9\"\n"
                                 "\"Enabled\"=dword:00000001\n") +
                       Interface("0042", "OP56",
                                 "\"PortName\"=\"USB/Draftaire K9/OP56\"\n"
                                 "\"Enabled\"=hex:01,00,00,00,00\n")));
    labtest::Result r = Lab({"explain", file.string()});
    ASSERT_EQ(r.rc, 1) << r.err; // OP56's Enabled is too long to read
    EXPECT_NE(r.out.find("none of vtxpmo01.dll"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("port \"USB/Draftaire K9/MN34\"\n    the monitor: EnumPorts lists it"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Enabled is 5 bytes long"), std::string::npos);
    EXPECT_NE(r.out.find("(EnumPorts): 1\n"), std::string::npos);

    // ST78 is made before QR90: enumerated last in creation order is QR90, sorted ST78.
    labtest::WriteText(
        file, "REGEDIT4\n\n" +
                  Interface("0042", "ST78",
                            "\"PortName\"=\"USB/Shared/1\"\n\"Enabled\"=dword:00000001\n") +
                  Interface("0042", "QR90",
                            "\"PortName\"=\"usb/shared/1\"\n\"Enabled\"=dword:00000001\n"));
    labtest::Result shared = Lab({"explain", file.string()});
    ASSERT_EQ(shared.rc, 1) << shared.err;
    EXPECT_NE(shared.out.find("depends on the order in which the registry enumerates subkeys"),
              std::string::npos)
        << shared.out;
    EXPECT_NE(shared.out.find("port \"USB/Shared/1\" prints to USB\\VID_0D7A&PID_0042\\QR90 in "
                              "creation order, to USB\\VID_0D7A&PID_0042\\ST78 in sorted order"),
              std::string::npos)
        << shared.out;
}

// The README's case: a printer removed while another of its model stays, and a printer of the
// spooler left on its port. A clean machine first, then the three problems, then two more.
TEST(LabExplain, ADiagnosisNamesEachProblemWithItsKey) {
    labtest::TempDir tmp;
    std::string m = (tmp.Path() / "m").string();
    ASSERT_EQ(Lab({"new", "--machine", m}).rc, 0);
    ASSERT_EQ(Lab({"attach", "--machine", m, "--model", "Draftaire K9", "--serial", "AB12"}).rc, 0);
    ASSERT_EQ(Lab({"attach", "--machine", m, "--model", "Draftaire K9", "--serial", "CD34"}).rc, 0);
    fs::path file = tmp.Path() / "customer.reg";
    labtest::WriteText(file, Lab({"show", "registry", "--machine", m}).out);
    labtest::Result clean = Lab({"explain", file.string()});
    EXPECT_EQ(clean.rc, 0) << clean.out;
    EXPECT_NE(clean.out.find("\nNo problems found.\n"), std::string::npos) << clean.out;
    // The same export as a newer regedit writes it, UTF-16 with CR LF, says the same.
    fs::path unicode = tmp.Path() / "unicode.reg";
    labtest::WriteText(unicode,
                       Utf16Export(WithCrLf(Lab({"show", "registry", "--machine", m}).out)));
    labtest::Result same = Lab({"explain", unicode.string()});
    EXPECT_EQ(same.rc, 0) << same.err;
    EXPECT_EQ(same.out.substr(same.out.find('\n')), clean.out.substr(clean.out.find('\n')));

    ASSERT_EQ(Lab({"detach", "--machine", m, "--serial", "CD34"}).rc, 0);
    std::string registry = Lab({"show", "registry", "--machine", m}).out +
                           "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\"
                           "Printers\\Draftaire K9 (2)]\n\"Port\"=\"USB/Draftaire K9/CD34\"\n\n";
    labtest::WriteText(file, registry);
    labtest::Result r = Lab({"explain", file.string()});
    EXPECT_EQ(r.rc, 1);
    size_t found = r.out.find("\nProblems found (3):\n");
    ASSERT_NE(found, std::string::npos) << r.out;
    std::string problems = r.out.substr(found);
    EXPECT_NE(
        problems.find("\\Printers\\Draftaire K9 (2)  Port: printer \"Draftaire K9 (2)\" prints to "
                      "port \"USB/Draftaire K9/CD34\", which no interface provides"),
        std::string::npos)
        << problems;
    EXPECT_NE(problems.find("\\Software\\Kelvara\\VTX\\K9\\CD34: "), std::string::npos);
    EXPECT_NE(problems.find("\\Software\\Kelvara\\VTXIO\\K9  PortName2: "), std::string::npos);
    nlohmann::json doc = nlohmann::json::parse(Lab({"explain", file.string(), "--json"}).out);
    ASSERT_EQ(doc.at("problems").size(), 3u);
    EXPECT_EQ(doc.at("problems")[0].at("key"),
              "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Printers\\"
              "Draftaire K9 (2)");

    // A PortName written by hand and a model key whose setup program is empty.
    auto replace = [&](const std::string& from, const std::string& to) {
        size_t at = registry.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        registry.replace(at, from.size(), to);
    };
    replace("\"SetupExecFile\"=\"", "\"SetupExecFile\"=\"\"\n\"Unused\"=\"");
    replace("##.#0000000000000001#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}\\#\\Device Parameters]\n",
            "##.#0000000000000001#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}\\#\\Device Parameters]\n"
            "\"PortName\"=\"USB/K9/AB12\"\n");
    labtest::WriteText(file, registry);
    r = Lab({"explain", file.string()});
    EXPECT_NE(r.out.find("\nProblems found (5):\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Device Parameters  PortName: PortName \"USB/K9/AB12\" differs from every "
                         "PortName<n> of Draftaire K9"),
              std::string::npos)
        << r.out;
    EXPECT_NE(
        r.out.find(
            "VTXIO\\K9  SetupExecFile: SetupExecFile is empty: the helper records error 1008"),
        std::string::npos);

    // The model's last printer goes: CD34's CmdLine key, left by its own removal, stays for ever.
    labtest::Result last = Lab({"detach", "--machine", m, "--serial", "AB12"});
    ASSERT_EQ(last.rc, 0) << last.err;
    size_t stays = last.out.find("stays (the helper keeps it)");
    ASSERT_NE(stays, std::string::npos) << last.out;
    EXPECT_NE(last.out.find("Kelvara\\VTX\\K9\\CD34: the setup program's CmdLine of printer CD34, "
                            "because",
                            stays),
              std::string::npos)
        << last.out;
    EXPECT_NE(last.out.find("it stays for ever", stays), std::string::npos);
}

// One line of a corpus export's .expect file: "fault | code | key | value | line <n> | v5 line
// <n>" (key and value as the export spells them, their line in each form) or "control | key".
struct Expected {
    std::string kind, code, key, value;
    unsigned line = 0, v5Line = 0;
};

unsigned LineField(const std::string& field, const std::string& label) {
    return field.starts_with(label) ? std::stoul(field.substr(label.size())) : 0;
}

std::vector<Expected> ReadExpected(const fs::path& file) {
    std::vector<Expected> list;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        for (size_t start = 0;;) {
            size_t bar = line.find(" | ", start);
            fields.push_back(line.substr(start, bar == std::string::npos ? bar : bar - start));
            if (bar == std::string::npos)
                break;
            start = bar + 3;
        }
        fields.resize(6);
        list.push_back(fields[0] == "control" ? Expected{"control", "", fields[1], ""}
                                              : Expected{fields[0], fields[1], fields[2], fields[3],
                                                         LineField(fields[4], "line "),
                                                         LineField(fields[5], "v5 line ")});
    }
    return list;
}

// Key and value names as the registry compares them: ASCII letters case-blind.
bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The customer-like exports of tests/fixtures/customer, each with the faults planted in it and
// the controls beside it: every fault is found with its code, key and value, no control is
// named by a problem, and each kind of fault is planted in two exports at least. The "Version
// 5.00" forms need a reader for them; without one they are skipped, saying so.
TEST(LabExplain, TheCustomerCorpusFindsEveryPlantedFaultAndNoControl) {
    const fs::path dir = fs::path(VTX_FIXTURES_DIR) / "customer";
    std::vector<fs::path> exports;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".reg")
            exports.push_back(entry.path());
    std::sort(exports.begin(), exports.end());
    ASSERT_GE(exports.size(), 8u);
    std::map<std::string, std::set<std::string>> exportsOfCode;
    std::vector<std::string> unread;
    for (const fs::path& file : exports) {
        std::string name = file.stem().string();
        const bool version5 = name.ends_with(".v5");
        const std::string base = version5 ? name.substr(0, name.size() - 3) : name;
        const std::vector<Expected> expected = ReadExpected(dir / (base + ".expect"));
        ASSERT_FALSE(expected.empty()) << base << ".expect";
        labtest::Result r = Lab({"explain", file.string(), "--json"});
        if (version5 && r.rc == 3) {
            unread.push_back(file.filename().string() + ": " + r.err.substr(0, r.err.find('\n')));
            continue;
        }
        ASSERT_EQ(r.rc, 1) << file << "\n" << r.err;
        const nlohmann::json problems = nlohmann::json::parse(r.out).at("problems");
        for (const nlohmann::json& p : problems) {
            for (const char* field : {"code", "key", "value", "text", "todo"})
                EXPECT_TRUE(p.at(field).is_string()) << field << " in " << p.dump();
            EXPECT_TRUE(p.at("line").is_number_unsigned()) << p.dump();
            EXPECT_FALSE(p.at("value").get<std::string>().starts_with("\"")) << p.dump();
        }
        // A printer of a "USB/" port, or of none, has monitorPort true exactly when no problem
        // names it.
        const nlohmann::json doc = nlohmann::json::parse(r.out);
        for (const nlohmann::json& printer : doc.at("printers")) {
            const std::string key =
                "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\"
                "Printers\\" +
                printer.at("name").get<std::string>();
            bool named = std::any_of(problems.begin(), problems.end(),
                                     [&](const auto& p) { return SameName(p.at("key"), key); });
            const nlohmann::json& port = printer.at("port");
            bool ours = port.is_null() || port.get<std::string>().starts_with("USB/");
            if (ours) {
                EXPECT_NE(printer.at("monitorPort").get<bool>(), named)
                    << file.filename() << ": " << printer.dump();
            }
        }
        auto names = [&](const nlohmann::json& p, const Expected& e) {
            return SameName(p.at("key").get<std::string>(), e.key) &&
                   (e.value.empty() || SameName(p.at("value").get<std::string>(), e.value));
        };
        // A fault is named as the file spells it, at its line there.
        auto placed = [&](const nlohmann::json& p, const Expected& e) {
            return p.at("key") == e.key && (e.value.empty() || p.at("value") == e.value) &&
                   p.at("line") == (version5 ? e.v5Line : e.line);
        };
        for (const Expected& e : expected) {
            bool found = std::any_of(problems.begin(), problems.end(), [&](const auto& p) {
                return e.kind == "control" ? names(p, e) : p.at("code") == e.code && placed(p, e);
            });
            if (e.kind == "control") {
                EXPECT_FALSE(found) << file.filename() << ": control " << e.key << " is named\n"
                                    << problems.dump(2);
                continue;
            }
            EXPECT_TRUE(found) << file.filename() << ": " << e.code << " of " << e.key << "  "
                               << e.value << " at line " << (version5 ? e.v5Line : e.line)
                               << " not found\n"
                               << problems.dump(2);
            exportsOfCode[e.code].insert(base);
        }
    }
    // README lists every code with its meaning.
    const std::string readme = labtest::ReadText(fs::path(VTX_FIXTURES_DIR) / "../../README.md");
    for (const auto& [code, names] : exportsOfCode) {
        EXPECT_GE(names.size(), 2u) << code << " is planted in one export only";
        EXPECT_NE(readme.find("| `" + code + "` |"), std::string::npos) << code;
    }
    // A problem line starts where an editor opens the customer's file. (The text keeps the
    // machine's code page 1252, the .expect file is UTF-8: the spelling is the JSON's to check.)
    const fs::path failed = dir / "setup_failed_k9.reg";
    const std::string text = Lab({"explain", failed.string()}).out;
    for (const Expected& e : ReadExpected(dir / "setup_failed_k9.expect")) {
        if (e.kind != "fault")
            continue;
        const std::string start = "\n  " + failed.string() + ":" + std::to_string(e.line) + ": ";
        bool found = false;
        for (size_t at = text.find(start); at != std::string::npos && !found;
             at = text.find(start, at + 1))
            found =
                text.substr(at + 1, text.find('\n', at + 1) - at - 1).ends_with("[" + e.code + "]");
        EXPECT_TRUE(found) << e.code << " at line " << e.line << "\n" << text;
    }
    if (!unread.empty()) {
        std::string list;
        for (const std::string& line : unread)
            list += "\n  " + line;
        GTEST_SKIP() << "the REGEDIT4 reader of this build does not read the \"Version 5.00\" "
                        "UTF-16 exports yet:"
                     << list;
    }
}

} // namespace
