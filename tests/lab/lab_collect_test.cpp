// vtxlab collect: the field collector run on a kept machine, its report holding what the
// machine has, and vtxlab explain reading the report as it reads an export.
#include "lab/lab_runner.h"

#include "platform/sim/control/simctl.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

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
