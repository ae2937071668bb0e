// vtxlab collect: the field collector run on a kept machine, its report holding what the
// machine has, and vtxlab explain reading the report as it reads an export.
#include "lab/lab_runner.h"

#include "platform/sim/control/simctl.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>

using labtest::Lab;

namespace {

// The text of one section, from its header line to the next.
std::string Section(const std::string& report, const std::string& name) {
    const std::string start = "#vtxdiag section " + name;
    size_t at = report.find(start);
    if (at == std::string::npos)
        return {};
    size_t next = report.find("#vtxdiag ", at + start.size());
    return report.substr(at, next - at);
}

// The report's line (from 1) that starts with text.
unsigned LineOf(const std::string& report, const std::string& text) {
    size_t at = report.find("\r\n" + text);
    return at == std::string::npos
               ? 0
               : static_cast<unsigned>(std::count(report.begin(), report.begin() + at, '\n')) + 2;
}

// The problems explain finds in a file, code by code.
std::multiset<std::string> ProblemCodes(const nlohmann::json& doc) {
    std::multiset<std::string> codes;
    for (const nlohmann::json& p : doc["problems"])
        codes.insert(p["code"].get<std::string>());
    return codes;
}

const nlohmann::json* ProblemOf(const nlohmann::json& doc, const std::string& code,
                                const std::string& value = "") {
    for (const nlohmann::json& p : doc["problems"])
        if (p["code"] == code && (value.empty() || p["value"] == value))
            return &p;
    return nullptr;
}

const std::string kVmm32Deletion = "NUL=C:\\Windows\\System\\VMM32\\vtxvxu01.dll";

// A printer unplugged and plugged back in before the restart: with this helper nothing to name;
// in the state the previous helper left (the removal's deletion of the VMM32 library still
// queued), with a driver file deleted and the helper's last copy gone, each problem of the files
// and the spooler named with its place and the report's line.
TEST(LabCollect, ReplugByThePreviousHelperExplained) {
    labtest::TempDir tmp;
    std::string m = (tmp.Path() / "m").string();
    ASSERT_EQ(Lab({"new", "--machine", m}).rc, 0);
    ASSERT_EQ(Lab({"attach", "--machine", m, "--model", "Draftaire K9", "--serial", "AB12"}).rc, 0);
    ASSERT_EQ(Lab({"detach", "--machine", m, "--serial", "AB12"}).rc, 0);
    ASSERT_EQ(Lab({"attach", "--machine", m, "--model", "Draftaire K9", "--serial", "AB12"}).rc, 0);
    vtxsim::UseMachine(m);
    vtxsim::AddPrinter("Draftaire K9", "USB/Draftaire K9/AB12");
    vtxsim::UseMachine({});
    std::string file = (tmp.Path() / "VTXDIAG.TXT").string();
    ASSERT_EQ(Lab({"collect", "--machine", m, "--out", file}).rc, 0);
    labtest::Result mine = Lab({"explain", file, "--json"});
    ASSERT_EQ(mine.rc, 0) << mine.out;
    EXPECT_TRUE(ProblemCodes(nlohmann::json::parse(mine.out)).empty()) << mine.out;

    // The previous helper's attach left the removal's entries standing; the copy it queued last
    // is gone and so is the monitor's library.
    vtxsim::UseMachine(m);
    const std::string wininit = "C:\\Windows\\wininit.ini";
    std::string renames = vtxsim::GetFileContents(wininit).value_or("");
    size_t helperDeletion = renames.find("NUL=C:\\Windows\\System\\vtxinh01.exe\r\n");
    ASSERT_NE(helperDeletion, std::string::npos) << renames;
    renames.insert(helperDeletion, kVmm32Deletion + "\r\n");
    vtxsim::PutFile(wininit, renames);
    size_t lastCopy = renames.rfind('=') + 1;
    std::string copy = renames.substr(lastCopy, renames.find('\r', lastCopy) - lastCopy);
    ASSERT_TRUE(copy.ends_with(".ex_")) << renames;
    std::filesystem::remove(vtxsim::HostPath(copy));
    std::filesystem::remove(vtxsim::HostPath("C:\\Windows\\System\\vtxpmo01.dll"));
    vtxsim::UseMachine({});
    ASSERT_EQ(Lab({"collect", "--machine", m, "--out", file}).rc, 0);
    // As Windows 98 reports it: its spooler does not load an instance whose library is not in
    // the system directory (the simulated one loads the build's), and the helper of another
    // release.
    std::string report = labtest::ReadText(file);
    size_t monitors = report.find("monitors count=1\r\nmonitor \"AB12\"");
    ASSERT_NE(monitors, std::string::npos) << report;
    report.replace(monitors, report.find("ports count=", monitors) - monitors,
                   "monitors count=0\r\n");
    size_t ports = report.find("ports count=1\r\n");
    ASSERT_NE(ports, std::string::npos) << report;
    report.replace(ports, report.find("printers count=", ports) - ports, "ports count=0\r\n");
    const std::string helperNone =
        " version=none error=1813 path=C:\\Windows\\System\\vtxinh01.exe";
    ASSERT_NE(report.find(helperNone), std::string::npos) << report;
    report.replace(report.find(helperNone), helperNone.size(),
                   " version=0.9.0.0 path=C:\\Windows\\System\\vtxinh01.exe");
    labtest::WriteText(file, report);

    labtest::Result old = Lab({"explain", file, "--json"});
    ASSERT_EQ(old.rc, 1) << old.err;
    nlohmann::json doc = nlohmann::json::parse(old.out);
    std::multiset<std::string> codes = ProblemCodes(doc);
    // The helper's own file goes too: the copy that was to put it back is gone.
    EXPECT_EQ(codes.count("pending-deletion-of-needed-file"), 2u) << old.out;
    for (const char* code : {"driver-file-missing", "driver-file-other-version", "queued-copy-gone",
                             "monitor-not-loaded", "printer-port-not-listed"})
        EXPECT_EQ(codes.count(code), 1u) << code << "\n" << old.out;
    const nlohmann::json* vmm32 = ProblemOf(doc, "pending-deletion-of-needed-file", kVmm32Deletion);
    ASSERT_NE(vmm32, nullptr) << old.out;
    EXPECT_EQ((*vmm32)["key"], "C:\\Windows\\wininit.ini");
    EXPECT_EQ((*vmm32)["line"], LineOf(report, kVmm32Deletion));
    const nlohmann::json* missing = ProblemOf(doc, "driver-file-missing");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ((*missing)["key"], "C:\\Windows\\System\\vtxpmo01.dll");
    EXPECT_EQ((*missing)["line"],
              LineOf(report, "driver absent error=2 path=C:\\Windows\\System\\vtxpmo01.dll"));
    EXPECT_EQ((*ProblemOf(doc, "queued-copy-gone"))["key"], copy);
    const nlohmann::json* notLoaded = ProblemOf(doc, "monitor-not-loaded", "AB12");
    ASSERT_NE(notLoaded, nullptr);
    EXPECT_NE((*notLoaded)["text"].get<std::string>().find("vtxpmo01.dll, is missing"),
              std::string::npos)
        << (*notLoaded)["text"];
    const nlohmann::json* printer = ProblemOf(doc, "printer-port-not-listed", "Draftaire K9");
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ((*printer)["line"], LineOf(report, "printer \"Draftaire K9\""));

    // The same machine's registry as an export: nothing of files or the spooler to say.
    std::string registry = Section(report, "registry");
    labtest::WriteText(tmp.Path() / "export.reg", registry.substr(registry.find("REGEDIT4")));
    labtest::Result exported = Lab({"explain", (tmp.Path() / "export.reg").string(), "--json"});
    ASSERT_LE(exported.rc, 1) << exported.err;
    EXPECT_TRUE(ProblemCodes(nlohmann::json::parse(exported.out)).empty()) << exported.out;
}

TEST(LabCollect, TwoPrintersAttachedReportedAndExplained) {
    labtest::TempDir tmp;
    std::string m = (tmp.Path() / "m").string();
    ASSERT_EQ(Lab({"new", "--machine", m}).rc, 0);
    ASSERT_EQ(Lab({"attach", "--machine", m, "--model", "Draftaire K9", "--serial", "AB12"}).rc, 0);
    ASSERT_EQ(Lab({"attach", "--machine", m, "--model", "Draftaire K7", "--serial", "EF56"}).rc, 0);
    // The spooler's printers on both ports, one of them with a status; the helper read-only.
    vtxsim::UseMachine(m);
    vtxsim::AddPrinter("Draftaire K9", "USB/Draftaire K9/AB12");
    vtxsim::AddPrinter("Draftaire K7", "USB/Draftaire K7/EF56");
    vtxsim::SetDwordValue("HKEY_LOCAL_MACHINE\\" + std::string(vtxsim::kPrintersKeyPath) +
                              "\\Draftaire K7",
                          "Status", 0x10);
    vtxsim::SetReadOnly("C:\\Windows\\System\\vtxinh01.exe", true);
    vtxsim::UseMachine({});

    std::string file = (tmp.Path() / "VTXDIAG.TXT").string();
    labtest::Result collect = Lab({"collect", "--machine", m, "--out", file});
    ASSERT_EQ(collect.rc, 0) << collect.err;
    std::string report = labtest::ReadText(file);
    EXPECT_TRUE(report.starts_with("#vtxdiag report 1\r\n#vtxdiag section header\r\n"));
    EXPECT_TRUE(report.ends_with("\r\n#vtxdiag end\r\n"));
    EXPECT_NE(Section(report, "header").find("\r\nwindows 4.10.1998 platform=1 csd=\"\"\r\n"),
              std::string::npos);

    // The registry as regedit exports it: each printer's setup command, both instances.
    std::string registry = Section(report, "registry");
    EXPECT_NE(registry.find("\r\nREGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Kelvara]\r\n"),
              std::string::npos);
    EXPECT_NE(registry.find("[HKEY_LOCAL_MACHINE\\Software\\Kelvara\\VTX\\K7\\EF56]\r\n"
                            "\"CmdLine\"=\"-s -v bustype=usb -v port=USB/Draftaire K7/EF56"),
              std::string::npos);
    EXPECT_NE(registry.find("[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\"
                            "Monitors\\AB12]\r\n\"Driver\"=\"vtxpmo01.dll\"\r\n"),
              std::string::npos);
    EXPECT_NE(registry.find("[HKEY_LOCAL_MACHINE\\Enum\\USB\\VID_0D7A&PID_0041\\EF56]"),
              std::string::npos);
    EXPECT_NE(Section(report, "registry-keys")
                  .find("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                        "RunOnce not exported error=2\r\n"),
              std::string::npos);

    // wininit.ini byte for byte, and the helper's two queued copies found through it.
    std::string wininit = Section(report, "wininit.ini");
    EXPECT_TRUE(wininit.starts_with("#vtxdiag section wininit.ini bytes=")) << wininit;
    EXPECT_NE(wininit.find("[RENAME]\r\nC:\\Windows\\System\\vtxinh01.exe=C:\\Windows\\System\\"),
              std::string::npos)
        << wininit;
    std::string files = Section(report, "files");
    EXPECT_NE(files.find("driver present size=42 attributes=0x00000021 date="), std::string::npos)
        << files;
    EXPECT_NE(files.find(" version=none error=1813 path=C:\\Windows\\System\\vtxinh01.exe\r\n"),
              std::string::npos)
        << files;
    size_t copies = 0;
    for (size_t at = files.find("queued-copy present"); at != std::string::npos;
         at = files.find("queued-copy present", at + 1))
        ++copies;
    EXPECT_EQ(copies, 2u) << files;

    // The spooler: both instances loaded, both ports, both printers with their status.
    std::string spooler = Section(report, "spooler");
    EXPECT_NE(spooler.find("monitors count=2\r\nmonitor \"AB12\" dll=\"vtxpmo01.dll\" "
                           "environment=\"Windows 4.0\"\r\n"),
              std::string::npos)
        << spooler;
    EXPECT_NE(spooler.find("ports count=2\r\n"), std::string::npos) << spooler;
    EXPECT_NE(spooler.find("port \"USB/Draftaire K7/EF56\""), std::string::npos) << spooler;
    EXPECT_NE(spooler.find("printers count=2\r\n"), std::string::npos) << spooler;
    EXPECT_NE(spooler.find("printer \"Draftaire K7\" port=\"USB/Draftaire K7/EF56\" driver=\"\" "
                           "status=0x00000010 attributes=0x00000000\r\n"),
              std::string::npos)
        << spooler;

    // Nothing of the collector's stays on the machine.
    EXPECT_EQ(Lab({"show", "files", "--machine", m}).out.find("VTXDIAG"), std::string::npos);

    // explain reads the report's registry as an export, and its other sections.
    labtest::Result explained = Lab({"explain", file, "--json"});
    ASSERT_EQ(explained.rc, 0) << explained.err;
    nlohmann::json doc = nlohmann::json::parse(explained.out);
    EXPECT_EQ(doc["collector"]["collector"], "1.0.0");
    EXPECT_EQ(doc["ports"].size(), 2u);
    EXPECT_EQ(doc["printers"].size(), 2u);
    EXPECT_EQ(doc["collector"]["files"].size(), 8u);
    EXPECT_EQ(doc["collector"]["files"][4]["attributes"], 0x21);
    EXPECT_EQ(doc["collector"]["spooler"]["printers"][1]["status"], 0x10);

    // A report cut short is still read, with a warning; a damaged one names its line.
    labtest::WriteText(tmp.Path() / "cut.txt",
                       report.substr(0, report.find("#vtxdiag section files")));
    labtest::Result cut = Lab({"explain", (tmp.Path() / "cut.txt").string()});
    EXPECT_EQ(cut.rc, 0) << cut.err;
    EXPECT_NE(cut.err.find("the collector did not finish"), std::string::npos) << cut.err;
    // Lines named are the report's own, where the support engineer opens it.
    const size_t cmdLine = report.find("\"CmdLine\"=");
    ASSERT_NE(cmdLine, std::string::npos);
    const std::string lineNumber =
        std::to_string(1 + std::count(report.begin(), report.begin() + cmdLine, '\n'));
    std::string damaged = report;
    damaged.replace(cmdLine, 10, "\"CmdLine\"=hex:zz");
    labtest::WriteText(tmp.Path() / "damaged.txt", damaged);
    labtest::Result bad = Lab({"explain", (tmp.Path() / "damaged.txt").string()});
    EXPECT_EQ(bad.rc, 3);
    EXPECT_NE(bad.err.find("damaged.txt:" + lineNumber + ":"), std::string::npos) << bad.err;
    std::string failed = report;
    const size_t result = failed.find("-v dialog=0 -v error=0 -v abort=0", cmdLine);
    ASSERT_NE(result, std::string::npos);
    failed.replace(result, 33, "-v dialog=2 -v error=3006 -v abort=1");
    labtest::WriteText(tmp.Path() / "failed.txt", failed);
    labtest::Result recorded = Lab({"explain", (tmp.Path() / "failed.txt").string()});
    EXPECT_EQ(recorded.rc, 1);
    EXPECT_NE(recorded.out.find("failed.txt:" + lineNumber + ": HKEY_LOCAL_MACHINE\\Software\\"),
              std::string::npos)
        << recorded.out;
}

} // namespace
