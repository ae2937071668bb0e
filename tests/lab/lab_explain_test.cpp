// vtxlab explain on exports of our own making that look like a real Windows 98 registry:
// HKEY_USERS and HKEY_CLASSES_ROOT, thousands of unrelated keys, CR LF line ends, a disabled
// interface, one without Enabled, and two interfaces with one port name.
#include "lab/lab_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

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
    EXPECT_NE(problems.find("\\Printers\\Draftaire K9 (2): printer \"Draftaire K9 (2)\" prints to "
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
    EXPECT_NE(r.out.find("Device Parameters: PortName \"USB/K9/AB12\" differs from every "
                         "PortName<n> of Draftaire K9"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("VTXIO\\K9: SetupExecFile is empty: the helper records error 1008"),
              std::string::npos);
}

} // namespace
