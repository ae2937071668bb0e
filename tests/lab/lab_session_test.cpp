// vtxlab's commands on kept machines, checked by what they leave: registry, files, devices.
#include "lab/lab_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>

namespace fs = std::filesystem;
using labtest::Lab;

namespace {

const std::string kMonitors = "System\\CurrentControlSet\\Control\\Print\\Monitors\\";

// One JSON document of the schema's version on stdout, nothing else.
nlohmann::json Document(const labtest::Result& r, const std::string& command) {
    nlohmann::json doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc.at("version"), 1) << r.out;
    EXPECT_EQ(doc.at("command"), command) << r.out;
    return doc;
}

int Lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// One line on stderr that names what was wrong, a non-zero exit, nothing on stdout.
void ExpectRefused(const labtest::Result& r, int rc, const std::string& what) {
    EXPECT_EQ(r.rc, rc) << r.out << r.err;
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
}

TEST(LabMachine, NothingOfTheUsersIsDeletedAndBadInputIsOneLine) {
    labtest::TempDir tmp;
    fs::path user = tmp.Path() / "prefix";
    fs::create_directories(user / "drive_c");
    labtest::WriteText(user / "drive_c" / "letter.txt", "mine");
    ExpectRefused(Lab({"new", "--machine", user.string()}), 1, "not a vtxlab machine");
    ExpectRefused(Lab({"new", "--machine", user.string(), "--force"}), 1, "not a vtxlab machine");
    ExpectRefused(
        Lab({"attach", "--machine", user.string(), "--model", "Draftaire K9", "--serial", "AB12"}),
        1, user.string());
    EXPECT_EQ(labtest::ReadText(user / "drive_c" / "letter.txt"), "mine");
    EXPECT_EQ(std::distance(fs::directory_iterator(user), fs::directory_iterator()), 1);

    fs::path machine = tmp.Path() / "m";
    ASSERT_EQ(Lab({"new", "--machine", machine.string(), "--version", "me"}).rc, 0);
    labtest::WriteText(machine / "notes.txt", "kept");
    ExpectRefused(Lab({"new", "--machine", machine.string()}), 1, "--force");
    ASSERT_EQ(Lab({"attach", "--machine", machine.string(), "--model", "Draftaire K9", "--serial",
                   "AB12"})
                  .rc,
              0);
    // Files of the user's beside the machine's own, where the simulator keeps its drive and
    // printers, and a directory of the user's inside one the machine made.
    labtest::WriteText(machine / "drive_c" / "letter.txt", "mine");
    labtest::WriteText(machine / "devices" / "notes.txt", "mine");
    fs::create_directories(machine / "drive_c" / "WINDOWS" / "Mine");
    ASSERT_EQ(Lab({"device", "--machine", machine.string(), "--serial", "AB12", "--stall", "5"}).rc,
              0);
    ASSERT_EQ(Lab({"new", "--machine", machine.string(), "--force"}).rc, 0);
    EXPECT_EQ(labtest::ReadText(machine / "notes.txt"), "kept");
    EXPECT_EQ(labtest::ReadText(machine / "drive_c" / "letter.txt"), "mine");
    EXPECT_EQ(labtest::ReadText(machine / "devices" / "notes.txt"), "mine");
    EXPECT_TRUE(fs::is_directory(machine / "drive_c" / "WINDOWS" / "Mine"));
    EXPECT_EQ(std::distance(fs::directory_iterator(machine / "devices"), fs::directory_iterator()),
              1); // the printer attached before is gone
    fs::remove(machine / "vtxlab" / "made");
    ExpectRefused(Lab({"new", "--machine", machine.string(), "--force"}), 1, "earlier vtxlab");
    ASSERT_TRUE(fs::exists(machine / "registry.db"));
    std::string devices = Lab({"show", "devices", "--machine", machine.string()}).out;
    EXPECT_NE(devices.find("Windows 98 (4.10)"), std::string::npos) << devices; // ME no more
    EXPECT_NE(devices.find("\nno printer\n"), std::string::npos) << devices;

    ExpectRefused(Lab({"--bogus"}), 2, "--bogus");
    ExpectRefused(Lab({"new", "--machine", machine.string(), "--version", "3.1"}), 2, "3.1");
    ExpectRefused(Lab({"new", "--machine"}), 2, "--machine");
    ExpectRefused(Lab({"device", "--machine", machine.string(), "--serial", "AB12"}), 2, "--paper");
    ExpectRefused(Lab({"detach", "--machine", machine.string(), "--serial", "NOPE"}), 1, "NOPE");
    ExpectRefused(Lab({"print", "--machine", machine.string(), "--port", "USB/x/y",
                       (tmp.Path() / "missing.ps").string()}),
                  1, "missing.ps");
    ExpectRefused(Lab({"prnt", "--machine", machine.string()}), 2, "did you mean print?");
    ExpectRefused(Lab({"ports", "--machine", ""}), 2, "the machine directory is empty");
    labtest::Result device = Lab({"device", "--machine", machine.string(), "--serial", "AB12"});
    EXPECT_EQ(device.err.find("device: device:"), std::string::npos) << device.err;
    EXPECT_EQ(Lab({"--machine", machine.string(), "ports"}).rc, 0);
    ExpectRefused(Lab({"detach", "--machine", machine.string(), "--serial", "AB\xe9"}), 1,
                  "serial AB\\xE9 ");
    labtest::Result huge =
        Lab({"detach", "--machine", machine.string(), "--serial", std::string(5000, 'S')});
    ExpectRefused(huge, 1, "... (5000 characters)");
    EXPECT_LT(huge.err.size(), 300u);
    labtest::Result help = Lab({"detach", "--help"});
    EXPECT_EQ(help.rc, 0);
    EXPECT_NE(help.out.find("--dry-run"), std::string::npos);
    EXPECT_NE(help.out.find("Exit codes: 0 removed"), std::string::npos) << help.out;
    EXPECT_EQ(Lab({"help", "detach"}).out, help.out);
    EXPECT_NE(Lab({"help"}).out.find("Subcommands:"), std::string::npos);
    ExpectRefused(Lab({"help", "detah"}), 2, "did you mean detach?");
    ExpectRefused(Lab({"ports", "--machine", machine.string(), "--jsn"}), 2,
                  "--jsn: did you mean --json?");
    labtest::Result version = Lab({"explain", "--version"});
    EXPECT_EQ(version.rc, 0) << version.err;
    EXPECT_EQ(version.out, Lab({"--version"}).out);
}

TEST(LabSession, TwoPrintersAPrintAndTheRemovalOfOne) {
    labtest::TempDir tmp;
    std::string m = (tmp.Path() / "m").string();
    ASSERT_EQ(Lab({"new", "--machine", m}).rc, 0);
    labtest::Result r =
        Lab({"attach", "--machine", m, "--model", "Draftaire K9", "--serial", "AB12"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find("monitor instance \"AB12\""), std::string::npos);
    EXPECT_NE(r.out.find("[RENAME]"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
    nlohmann::json attached = Document(
        Lab({"attach", "--machine", m, "--model", "Draftaire K9", "--serial", "CD34", "--json"}),
        "attach");
    EXPECT_EQ(attached.at("monitorInstance"), "CD34");
    EXPECT_EQ(attached.at("error"), "0");
    EXPECT_EQ(attached.at("renamesAdded").size(), 1u);
    labtest::Result ports = Lab({"ports", "--machine", m, "--level", "1"});
    EXPECT_NE(ports.out.find("2 ports\n  USB/Draftaire K9/AB12\n  USB/Draftaire K9/CD34\n"),
              std::string::npos)
        << ports.out;
    nlohmann::json listed = Document(Lab({"ports", "--machine", m, "--json"}), "ports");
    ASSERT_EQ(listed.at("ports").size(), 2u);
    EXPECT_EQ(listed.at("ports")[1].at("name"), "USB/Draftaire K9/CD34");
    EXPECT_EQ(listed.at("instances").size(), 2u);

    std::string job(10000, 'j');
    labtest::WriteText(tmp.Path() / "job.prn", job);
    nlohmann::json printed =
        Document(Lab({"print", "--machine", m, "--port", "USB/Draftaire K9/AB12",
                      (tmp.Path() / "job.prn").string(), "--json"}),
                 "print");
    EXPECT_EQ(printed.at("sent"), 10000);
    EXPECT_EQ(printed.at("done"), true);
    EXPECT_EQ(printed.at("received"), 10000);
    ExpectRefused(Lab({"print", "--machine", m, "--port", "USB/Draftaire K9/ZZ99",
                       (tmp.Path() / "job.prn").string()}),
                  1, "USB/Draftaire K9/CD34");
    std::string devices = Lab({"show", "devices", "--machine", m, "--json"}).out;
    EXPECT_NE(devices.find("\"bytesReceived\": 10000"), std::string::npos) << devices;
    nlohmann::json shown = Document(Lab({"show", "devices", "--machine", m, "--json"}), "show");
    EXPECT_EQ(shown.at("devices").size(), 2u);

    std::string before = Lab({"show", "registry", "--machine", m}).out;
    labtest::Result dry = Lab({"detach", "--machine", m, "--serial", "CD34", "--dry-run"});
    EXPECT_EQ(dry.rc, 0);
    EXPECT_NE(dry.out.find(kMonitors + "CD34"), std::string::npos) << dry.out;
    EXPECT_EQ(Lab({"show", "registry", "--machine", m}).out, before);
    nlohmann::json preview = Document(
        Lab({"detach", "--machine", m, "--serial", "CD34", "--dry-run", "--json"}), "detach");
    EXPECT_EQ(preview.at("dryRun"), true);
    EXPECT_EQ(preview.at("changes").at("keysDeleted"),
              nlohmann::json::parse(
                  Lab({"detach", "--machine", m, "--serial", "CD34", "--dry-run", "--json"}).out)
                  .at("changes")
                  .at("keysDeleted"));

    labtest::Result detach = Lab({"detach", "--machine", m, "--serial", "CD34"});
    ASSERT_EQ(detach.rc, 0) << detach.err;
    // Not the last of its model: the helper keeps its CmdLine key and its PortName<n>.
    size_t stays = detach.out.find("stays (the helper keeps it): 4\n");
    ASSERT_NE(stays, std::string::npos) << detach.out;
    EXPECT_NE(
        detach.out.find("Software\\Kelvara\\VTX\\K9\\CD34: the setup program's CmdLine", stays),
        std::string::npos);
    EXPECT_NE(detach.out.find("VTXIO\\K9  PortName2: the port \"USB/Draftaire K9/CD34\"", stays),
              std::string::npos);
    std::string after = Lab({"show", "registry", "--machine", m}).out;
    EXPECT_EQ(after.find(kMonitors + "CD34]"), std::string::npos);
    EXPECT_NE(after.find(kMonitors + "AB12]"), std::string::npos);
    EXPECT_NE(Lab({"diff", "--machine", m}).out.find(kMonitors + "CD34"), std::string::npos);
    nlohmann::json diff = Document(Lab({"diff", "--machine", m, "--json"}), "diff");
    EXPECT_EQ(diff.at("of"), "detach CD34");
    EXPECT_NE(Lab({"show", "files", "--machine", m}).out.find("vtxpmo01.dll"), std::string::npos);

    // The last of its kind: the driver files go, the helper's own file at the restart.
    labtest::Result last = Lab({"detach", "--machine", m, "--serial", "AB12"});
    EXPECT_NE(last.out.find("NUL=C:\\Windows\\System\\vtxinh01.exe"), std::string::npos)
        << last.out;
    EXPECT_NE(Lab({"show", "files", "--machine", m}).out.find("vtxinh01.exe"), std::string::npos);
    labtest::Result restart = Lab({"restart", "--machine", m});
    EXPECT_NE(restart.out.find("deleted C:\\Windows\\System\\vtxinh01.exe"), std::string::npos)
        << restart.out;
    std::string files = Lab({"show", "files", "--machine", m}).out;
    EXPECT_EQ(files.find("vtxinh01.exe"), std::string::npos) << files;
    EXPECT_EQ(files.find("vtxpmo01.dll"), std::string::npos) << files;

    // The export loads again as a machine of its own, unchanged.
    labtest::WriteText(tmp.Path() / "saved.reg", after);
    std::string copy = (tmp.Path() / "copy").string();
    ASSERT_EQ(Lab({"new", "--machine", copy, "--from", (tmp.Path() / "saved.reg").string()}).rc, 0);
    EXPECT_EQ(Lab({"show", "registry", "--machine", copy}).out, after);
}

TEST(LabSession, AStalledJobWaitsForTheDeviceCommandOfAnotherProcess) {
    labtest::TempDir tmp;
    std::string m = (tmp.Path() / "m").string();
    ASSERT_EQ(Lab({"new", "--machine", m}).rc, 0);
    ASSERT_EQ(Lab({"attach", "--machine", m, "--model", "Draftaire K7", "--serial", "EF56"}).rc, 0);
    ASSERT_EQ(Lab({"device", "--machine", m, "--serial", "EF56", "--paper", "out"}).rc, 0);
    labtest::WriteText(tmp.Path() / "job.prn", std::string(20000, 'p'));

    labtest::Background print({"print", "--machine", m, "--port", "USB/Draftaire K7/EF56",
                               (tmp.Path() / "job.prn").string()});
    ASSERT_TRUE(print.WaitForLine("waiting: out of paper"));
    ExpectRefused(Lab({"attach", "--machine", m, "--model", "Draftaire K7", "--serial", "X1"}), 1,
                  "in use by another vtxlab (print");
    ASSERT_EQ(Lab({"device", "--machine", m, "--serial", "EF56", "--paper", "in"}).rc, 0);
    EXPECT_EQ(print.Wait(), 0);
    // diff gives the print what it did, and the paper to the device command that ran meanwhile.
    nlohmann::json diff = Document(Lab({"diff", "--machine", m, "--json"}), "diff");
    EXPECT_EQ(diff.at("of"), "print USB/Draftaire K7/EF56");
    std::string own = diff.at("changes").at("devices").dump();
    EXPECT_EQ(own.find("paper"), std::string::npos) << own;
    EXPECT_NE(own.find("-> 20000 bytes received"), std::string::npos) << own;
    ASSERT_EQ(diff.at("during").size(), 1u) << diff.dump();
    EXPECT_EQ(diff.at("during")[0].at("of"), "device EF56");
    EXPECT_NE(diff.at("during")[0].at("changes").at("devices").dump().find(
                  "out of paper, no error (status byte 0x38)"),
              std::string::npos)
        << diff.dump();
    std::string devices = Lab({"show", "devices", "--machine", m, "--json"}).out;
    EXPECT_NE(devices.find("\"bytesReceived\": 20000"), std::string::npos) << devices;

    // Unplugged in the middle of a job: the job ends, saying so, and the printer has what came.
    ASSERT_EQ(Lab({"device", "--machine", m, "--serial", "EF56", "--offline"}).rc, 0);
    labtest::Background pulled({"print", "--machine", m, "--port", "USB/Draftaire K7/EF56",
                                (tmp.Path() / "job.prn").string()});
    ASSERT_TRUE(pulled.WaitForLine("waiting: not ready"));
    ASSERT_EQ(Lab({"device", "--machine", m, "--serial", "EF56", "--unplug"}).rc, 0);
    EXPECT_EQ(pulled.Wait(), 1);
    devices = Lab({"show", "devices", "--machine", m, "--json"}).out;
    EXPECT_NE(devices.find("\"bytesReceived\": 20000"), std::string::npos) << devices;
    EXPECT_NE(devices.find("\"attached\": false"), std::string::npos) << devices;

    // A printer that takes nothing: the job ends after --timeout with the monitor's reason. The
    // cable pulled and plugged in again, the printer takes data from the start.
    std::string job = (tmp.Path() / "job.prn").string();
    ASSERT_EQ(Lab({"device", "--machine", m, "--serial", "EF56", "--plug"}).rc, 0);
    ASSERT_EQ(Lab({"device", "--machine", m, "--serial", "EF56", "--online"}).rc, 0);
    ASSERT_EQ(Lab({"device", "--machine", m, "--serial", "EF56", "--stall", "100"}).rc, 0);
    labtest::Result stalled =
        Lab({"print", "--machine", m, "--port", "USB/Draftaire K7/EF56", "--timeout", "0.01", job});
    EXPECT_EQ(stalled.rc, 1) << stalled.out;
    EXPECT_NE(stalled.err.find("took no data for 0.01 s (--timeout); the monitor's reason: busy"),
              std::string::npos)
        << stalled.err;
    EXPECT_NE(stalled.err.find("100 of 20000 bytes reached it"), std::string::npos) << stalled.err;
    ASSERT_EQ(Lab({"device", "--machine", m, "--serial", "EF56", "--unplug"}).rc, 0);
    ASSERT_EQ(Lab({"device", "--machine", m, "--serial", "EF56", "--plug"}).rc, 0);
    labtest::Result verified = Lab({"print", "--machine", m, "--port", "USB/Draftaire K7/EF56",
                                    "--timeout", "0.01", "--verify", job});
    EXPECT_EQ(verified.rc, 0) << verified.err;
    EXPECT_NE(verified.out.find("verified"), std::string::npos) << verified.out;

    // --verify catches a printer that took other bytes than were sent.
    ASSERT_EQ(Lab({"device", "--machine", m, "--serial", "EF56", "--stall", "100"}).rc, 0);
    labtest::Background mangled(
        {"print", "--machine", m, "--port", "USB/Draftaire K7/EF56", "--verify", job});
    ASSERT_TRUE(mangled.WaitForLine("waiting: "));
    for (const fs::directory_entry& device : fs::directory_iterator(fs::path(m) / "devices")) {
        if (device.path().filename().string().ends_with("EF56")) {
            std::string received = labtest::ReadText(device.path() / "received");
            received.back() = 'X';
            labtest::WriteText(device.path() / "received", received);
        }
    }
    // A changing command with --wait waits for the job instead of refusing.
    labtest::Background waiting(
        {"attach", "--machine", m, "--model", "Draftaire K7", "--serial", "X1", "--wait"});
    ASSERT_TRUE(waiting.WaitForLine("in use by another vtxlab (print"));
    ASSERT_EQ(Lab({"device", "--machine", m, "--serial", "EF56", "--paper", "in"}).rc, 0);
    EXPECT_TRUE(mangled.WaitForLine("differs from"));
    EXPECT_EQ(mangled.Wait(), 1);
    EXPECT_EQ(waiting.Wait(), 0);
}

// Each command that works on a machine of its own making, interrupted there: it ends by the
// signal and leaves neither that machine nor a directory marked as a machine.
TEST(LabMachine, AnInterruptedCommandLeavesNothingOfItsOwn) {
    labtest::TempDir tmp;
    fs::path temporaries = tmp.Path() / "tmp";
    fs::create_directories(temporaries);
    std::string m = (tmp.Path() / "m").string();
    ASSERT_EQ(Lab({"new", "--machine", m}).rc, 0);
    ASSERT_EQ(Lab({"attach", "--machine", m, "--model", "Draftaire K9", "--serial", "AB12"}).rc, 0);
    std::string registry = Lab({"show", "registry", "--machine", m}).out;
    labtest::WriteText(tmp.Path() / "saved.reg", registry);
    std::string saved = (tmp.Path() / "saved.reg").string();
    std::string fresh = (tmp.Path() / "fresh").string();

    struct Case {
        const char* point;
        std::vector<std::string> args;
        int signal;
    };
    const Case cases[] = {
        {"new", {"new", "--machine", fresh, "--from", saved}, SIGINT},
        {"new", {"new", "--machine", m, "--force", "--from", saved}, SIGTERM},
        {"explain", {"explain", saved}, SIGTERM},
        {"demo", {"demo"}, SIGINT},
        {"demo", {"demo"}, SIGPIPE}, // vtxlab demo | head
        {"explain", {"explain", saved}, SIGHUP},
        {"dry-run", {"detach", "--machine", m, "--serial", "AB12", "--dry-run"}, SIGINT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.point);
        labtest::Background command(c.args, {"VTXLAB_TEST_PAUSE=" + std::string(c.point),
                                             "TMPDIR=" + temporaries.string()});
        ASSERT_TRUE(command.WaitForLine("paused at"));
        command.Signal(c.signal);
        EXPECT_EQ(command.Wait(), 128 + c.signal);
        EXPECT_TRUE(fs::is_empty(temporaries));
        EXPECT_FALSE(fs::exists(fresh));
        // Nothing beside the machine either: no half-made machine below another name.
        EXPECT_EQ(std::distance(fs::directory_iterator(tmp.Path()), fs::directory_iterator()), 3);
        EXPECT_EQ(Lab({"show", "registry", "--machine", m}).out, registry);
    }
}

// What the user may not have meant is said, once, on stderr; the attach goes on.
TEST(LabSession, AttachWarnsOfWhatItCannotUndo) {
    labtest::TempDir tmp;
    std::string m = (tmp.Path() / "m").string();
    ASSERT_EQ(Lab({"new", "--machine", m, "--no-shell"}).rc, 0);
    labtest::Result first =
        Lab({"attach", "--machine", m, "--model", "Draftaire K9", "--serial", "AB12"});
    ASSERT_EQ(first.rc, 0);
    EXPECT_EQ(first.err, "");
    labtest::Result second =
        Lab({"attach", "--machine", m, "--model", "Draftaire K9", "--serial", "CD34"});
    EXPECT_EQ(second.rc, 0);
    EXPECT_NE(second.err.find("vtxlab attach: warning: RunOnce held the setup of printer AB12"),
              std::string::npos)
        << second.err;
    EXPECT_EQ(Lines(second.err), 1);
    labtest::Result again =
        Lab({"attach", "--machine", m, "--model", "Draftaire K9", "--serial", "CD34", "--json"});
    EXPECT_NE(again.err.find("printer CD34 is attached already"), std::string::npos) << again.err;
    EXPECT_EQ(Document(again, "attach").at("warnings").size(), 1u);
    // A model the helper finds no model key for is refused, unless its product id is given;
    // a model name is the helper's: "Draftaire k9" is a K9, "draftaire k9" another model.
    std::string registry = Lab({"show", "registry", "--machine", m}).out;
    for (const char* model : {"Draftaire K8", "draftaire k9"})
        ExpectRefused(Lab({"attach", "--machine", m, "--model", model, "--serial", "EF56"}), 1,
                      "model \"" + std::string(model) +
                          "\" has no model key on this machine (known models: Draftaire K9, "
                          "Draftaire K7); --product-id");
    EXPECT_EQ(Lab({"show", "registry", "--machine", m}).out, registry);
    labtest::Result given = Lab({"attach", "--machine", m, "--model", "Draftaire K8", "--serial",
                                 "EF56", "--product-id", "00a8"});
    EXPECT_EQ(given.rc, 0) << given.err;
    EXPECT_NE(given.err.find("has no model key"), std::string::npos) << given.err;
    labtest::Result cased =
        Lab({"attach", "--machine", m, "--model", "Draftaire k9", "--serial", "GH78"});
    EXPECT_EQ(cased.rc, 0) << cased.err;
    EXPECT_NE(cased.out.find("VID_0D7A&PID_0042"), std::string::npos) << cased.out;
    EXPECT_EQ(Lab({"attach", "--machine", m, "--model", "Draftaire K8", "--serial", "IJ90"}).rc, 0)
        << "the model key exists now";
}

// An option beats the environment: with VTXSIM_MACHINE naming a machine, every command given
// --machine works on that one, and refuses a directory that is no machine.
TEST(LabMachine, TheMachineOptionWinsOverTheEnvironment) {
    labtest::TempDir tmp;
    const std::string a = (tmp.Path() / "a").string(), b = (tmp.Path() / "b").string();
    const std::string plain = (tmp.Path() / "plain").string();
    fs::create_directories(plain);
    const labtest::Env env = {"VTXSIM_MACHINE=" + a};
    ASSERT_EQ(Lab({"new", "--machine", a}).rc, 0);
    ASSERT_EQ(Lab({"attach", "--machine", a, "--model", "Draftaire K9", "--serial", "AB12"}).rc, 0);
    ASSERT_EQ(Lab({"new", "--machine", b}, env).rc, 0);
    ASSERT_TRUE(fs::exists(fs::path(b) / "vtxlab-machine"));
    ASSERT_EQ(
        Lab({"attach", "--machine", b, "--model", "Draftaire K9", "--serial", "CD34"}, env).rc, 0);
    EXPECT_EQ(Lab({"show", "devices", "--machine", b}).out.find("AB12"), std::string::npos);
    EXPECT_NE(Lab({"show", "devices", "--machine", b}).out.find("CD34"), std::string::npos);
    const std::string before = Lab({"show", "registry", "--machine", a}).out;
    labtest::WriteText(tmp.Path() / "job.prn", "job");
    const std::vector<std::vector<std::string>> commands = {
        {"attach", "--model", "Draftaire K9", "--serial", "EF56"},
        {"ports"},
        {"print", "--port", "USB/Draftaire K9/AB12", (tmp.Path() / "job.prn").string()},
        {"device", "--serial", "AB12", "--paper", "out"},
        {"detach", "--serial", "AB12"},
        {"restart"},
        {"show", "registry"},
        {"show", "devices"},
        {"diff"},
        {"collect"},
    };
    for (std::vector<std::string> command : commands) {
        for (const std::string& dir : {plain, (tmp.Path() / "none").string()}) {
            std::vector<std::string> args = command;
            args.insert(args.begin() + 1, {"--machine", dir});
            labtest::Result r = Lab(args, env);
            ExpectRefused(r, 1, dir);
            EXPECT_NE(r.err.find("vtxlab new"), std::string::npos) << command[0] << ": " << r.err;
        }
    }
    EXPECT_EQ(Lab({"show", "registry", "--machine", a}).out, before);
    EXPECT_EQ(Lab({"show", "registry"}, env).out, before);
    ExpectRefused(Lab({"show", "registry"}), 2, "--machine is required (or VTXSIM_MACHINE)");
}

} // namespace
