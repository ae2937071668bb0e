// vtxlab demo: two printers of one model and one of another on a fresh Windows 98 machine,
// from the attach to the restart after their removal, each step checked.
#include "common/product_names.h"
#include "driver_install/printer_install.h"
#include "tools/lab/attach.h"
#include "tools/lab/command_options.h"
#include "tools/lab/commands.h"
#include "tools/lab/fresh_machine.h"
#include "tools/lab/helper_process.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/print_job.h"
#include "tools/lab/removal.h"
#include "tools/lab/report.h"
#include "tools/lab/temp_dir.h"
#include "tools/lab/windows_names.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <memory>
#include <optional>

namespace fs = std::filesystem;

namespace lab {
namespace {

struct DemoOptions {
    std::filesystem::path machine; // empty: a temporary one, removed at the end
    WindowsOptions windows;
    bool force = false;
};

struct DemoPrinter {
    vtxsim::PrinterSpec spec;
    std::string port;
    std::string printer; // the spooler printer made on its port
};

// The helper supports Windows 98 and ME; elsewhere it records 120 and goes on.
bool Supported(vtxsim::WindowsVersion version) {
    return version == vtxsim::WindowsVersion::Win98 || version == vtxsim::WindowsVersion::WinMe;
}

bool Contains(const std::vector<std::string>& list, const std::string& text) {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string& s) { return s.find(text) != std::string::npos; });
}

class Demo {
  public:
    Demo(const DemoOptions& options)
        : version_(VersionOf(options.windows.version)), shell_(!options.windows.noShell) {
        printers_.push_back({vtxsim::DraftaireK9("AB12"), "", "Draftaire K9 on USB"});
        printers_.push_back({vtxsim::DraftaireK9("CD34"), "", "Draftaire K9 on USB (2)"});
        printers_.push_back({vtxsim::DraftaireK7("EF56"), "", "Draftaire K7 on USB"});
        for (DemoPrinter& p : printers_)
            p.port = vtxsim::PortNameOf(p.spec);
    }

    int Run() {
        Machine();
        for (DemoPrinter& p : printers_)
            Attach(p);
        Ports();
        Print(printers_[0]);
        PaperOut(printers_[0]);
        Replug(printers_[0]);
        DryRun(printers_[1]);
        Remove(printers_[1], false);
        Remove(printers_[2], true);
        Remove(printers_[0], true);
        Restart();
        Summary();
        return report_.Finish();
    }

  private:
    void Machine() {
        report_.Step(std::string("A fresh machine: ") + WindowsName(version_) +
                     (shell_ ? ", the shell running" : ", before the shell starts"));
        if (!Supported(version_))
            report_.Show("the helper supports Windows 98 and ME only: expect it to record error "
                         "120 (the platform is not supported) and go on");
        vtxsim::SetWindowsVersion(version_);
        vtxsim::SetShellRunning(shell_);
        report_.Show("machine directory: " + vtxsim::MachineDirectory().string());
    }

    void Attach(DemoPrinter& p) {
        report_.Step("Attach " + p.spec.model + " " + p.spec.serial +
                     ": the device installer starts the helper");
        PlugIn(p.spec);
        Snapshot plugged = TakeSnapshot();
        report_.Show(RunHelperAction(2, p.spec.model, p.spec.serial));
        Changes changes = Compare(plugged, TakeSnapshot());
        ReportInstall(p.spec.model, p.spec.serial, changes);
        report_.Check(vtxsim::MonitorDriver(p.spec.serial) == MONITOR_FILE_NAME,
                      "monitor instance \"" + p.spec.serial + "\" with " MONITOR_FILE_NAME);
        std::optional<std::string> cmdLine = vtxsim::StringValue(
            kHklm + SETUP_KEYS + ModelRemainder(p.spec.model) + "\\" + p.spec.serial, "CmdLine");
        std::string error = Supported(version_) ? "0" : "120";
        report_.Check(cmdLine && cmdLine->find(" -v port=" + p.port + " ") != std::string::npos &&
                          cmdLine->find(" -v error=" + error + " ") != std::string::npos,
                      "CmdLine names the port " + p.port + ", error " + error +
                          (error == "0" ? "" : " as expected: the platform is not supported"));
        if (shell_)
            report_.Check(Contains(changes.started, "setup.exe"), "setup.exe started at once");
        else
            report_.Check(vtxsim::StringValue(kRunOnceKey, RUN_ONCE_VALUE_NAME).has_value(),
                          "no shell: the setup queued in RunOnce");
        report_.Check(Contains(changes.renamesAdded, HELPER_FILE_NAME "="),
                      "the helper's copy queued for a rename at the restart");
    }

    void Ports() {
        report_.Step("The spooler loads the monitor for each instance and lists its ports");
        StartMonitor(host_);
        vtxsim::EnumPortsResult ports = host_.EnumPorts(2);
        for (const vtxsim::PortInfo& port : ports.ports)
            report_.Show("port " + port.name);
        bool all = ports.ok && ports.wellFormed && ports.ports.size() == printers_.size();
        for (const DemoPrinter& p : printers_)
            all = all && std::any_of(ports.ports.begin(), ports.ports.end(),
                                     [&](const vtxsim::PortInfo& i) { return i.name == p.port; });
        report_.Check(all, "EnumPorts level 2 lists one port per printer");
        for (const DemoPrinter& p : printers_) {
            vtxsim::AddPrinter(p.printer, p.port);
            report_.Show("printer \"" + p.printer + "\" made on " + p.port);
        }
    }

    void Print(const DemoPrinter& p) {
        report_.Step("A job to " + p.port);
        std::string job = "%!PS-Adobe-3.0\n/Helvetica findfont 24 scalefont setfont\n"
                          "72 720 moveto (Hello from Windows 98) show showpage\n";
        job += std::string(9000, '%') + "\n";
        JobResult result = RunJob(host_, p.port, p.printer, job, 4096, {});
        report_.Show(fmt::format("{} bytes in pieces of 4096", result.sent));
        report_.Check(result.done && vtxsim::ReceivedData(p.spec.serial) == job,
                      "the printer received the job byte for byte");
        report_.Check(!vtxsim::IsDeviceOpen(p.spec.serial), "EndDocPort let the device go");
        printed_ = job.size();
    }

    void PaperOut(const DemoPrinter& p) {
        report_.Step("The printer runs out of paper in the middle of a job");
        vtxsim::SetStall(p.spec.serial, 5000);
        vtxsim::SetStatusByte(p.spec.serial, vtxsim::kPaperEmpty | vtxsim::kDefaultStatus);
        std::string job(12000, 'x');
        std::vector<std::string> reasons;
        JobHooks hooks;
        hooks.onWait = [&](const std::string& reason) {
            reasons.push_back(reason);
            report_.Show("waiting: " + reason + "; paper is loaded");
            vtxsim::SetStatusByte(p.spec.serial, vtxsim::kDefaultStatus);
            vtxsim::ClearStall(p.spec.serial);
        };
        JobResult result = RunJob(host_, p.port, p.printer, job, 4096, hooks);
        report_.Check(reasons == std::vector<std::string>{"out of paper"},
                      "the monitor reported \"out of paper\" once");
        report_.Check(result.done && vtxsim::ReceivedData(p.spec.serial).size() == printed_ + 12000,
                      "the job went on to its end when the paper was in");
    }

    void Replug(const DemoPrinter& p) {
        report_.Step(
            "The printer is plugged in again: its printer exists, the helper does nothing");
        Snapshot before = TakeSnapshot();
        RunHelperAction(2, p.spec.model, p.spec.serial);
        report_.Check(Compare(before, TakeSnapshot()).Empty(), "nothing changed");
    }

    void DryRun(const DemoPrinter& p) {
        report_.Step("What the removal of " + p.spec.serial + " would do (detach --dry-run)");
        Snapshot before = TakeSnapshot();
        Changes preview = OnCopy([&] { RemovePrinter(p.spec.serial); });
        ReportRemoval(preview);
        report_.Check(Compare(before, TakeSnapshot()).Empty(), "the machine itself is unchanged");
        dryRun_ = preview.keysDeleted;
    }

    void Remove(const DemoPrinter& p, bool lastOfModel) {
        report_.Step("Removal of " + p.spec.serial +
                     (lastOfModel ? ", the last " : ", not the last ") + p.spec.model);
        vtxsim::DeletePrinter(p.printer);
        Changes changes = RemovePrinter(p.spec.serial);
        ReportRemoval(changes);
        report_.Check(vtxsim::MonitorDriver(p.spec.serial).empty(),
                      "monitor instance \"" + p.spec.serial + "\" deleted");
        report_.Check(!vtxsim::KeyExists(kHklm + "Enum\\" + vtxsim::DeviceInstanceOf(p.spec)),
                      "its Enum key is gone");
        if (!dryRun_.empty()) {
            report_.Check(changes.keysDeleted == dryRun_, "exactly what the dry run showed");
            dryRun_.clear();
        }
        std::string modelKey = kHklm + MODEL_KEYS + ModelRemainder(p.spec.model);
        if (lastOfModel)
            report_.Check(!vtxsim::KeyExists(modelKey), "the model key is gone");
        else
            report_.Check(vtxsim::KeyExists(modelKey) && vtxsim::FileExists(USB_DRIVER_FILE),
                          "the model key and the driver files stay for the other printer");
        removed_ += changes.keysDeleted.size();
    }

    void Restart() {
        report_.Step("Restart: WININIT carries out the RENAME section, RunOnce runs");
        for (const vtxsim::RestartStep& step : vtxsim::RestartMachine())
            report_.Show(vtxsim::Describe(step));
        report_.Check(!vtxsim::FileExists(HELPER_FILE),
                      "the helper's file is gone: its deletion stands after the renames");
        report_.Check(!vtxsim::FileExists(USB_DRIVER_FILE) && !vtxsim::FileExists(VXD_LIBRARY_FILE),
                      "the driver files are gone");
        report_.Check(vtxsim::MonitorNames().empty(), "no monitor instance is left");
    }

    void Summary() {
        report_.Step("Summary");
        report_.Show("printers attached:  AB12, CD34 (Draftaire K9), EF56 (Draftaire K7)");
        report_.Show(fmt::format("ports listed:       {}", printers_.size()));
        report_.Show(fmt::format("bytes printed:      {} on AB12, through one stall for paper",
                                 printed_ + 12000));
        report_.Show(fmt::format("keys the removals deleted: {}", removed_));
        report_.Show(fmt::format("programs started:   {}", vtxsim::ProcessJournal().size()));
    }

    vtxsim::WindowsVersion version_;
    bool shell_;
    Report report_;
    std::vector<DemoPrinter> printers_;
    vtxsim::MonitorHost host_;
    std::size_t printed_ = 0;
    std::size_t removed_ = 0;
    std::vector<std::string> dryRun_;
};

int RunDemo(const DemoOptions& options) {
    std::optional<TemporaryDir> temporary;
    fs::path dir = options.machine;
    if (dir.empty()) {
        temporary.emplace("vtxlab-demo");
        dir = temporary->Path();
    }
    MakeFreshMachine(dir, options.force, "demo", [] {});
    int code = 1;
    {
        CommandLock lock(dir, "demo");
        try {
            code = Demo(options).Run();
        } catch (const LabError& error) {
            fmt::print("\nFAIL the demo stopped: {}\n", error.what());
        }
    }
    return code;
}

} // namespace

void AddDemoCommand(CLI::App& app, ChosenCommand& chosen) {
    auto o = std::make_shared<DemoOptions>();
    CLI::App* c =
        app.add_subcommand("demo", "two printers of one model and one of another, narrated");
    // Its own machine, not the chosen command's: VTXSIM_MACHINE does not give it one.
    c->add_option("--machine", o->machine, "keep the machine in DIR");
    AddVersionAndShell(c, o->windows);
    AddWait(c, chosen);
    c->add_flag("--force", o->force, "start an existing vtxlab machine anew");
    c->footer(ExitCodesFooter("0 every step did what it should; 1 a step did not, or refused "
                              "(--machine)"));
    c->callback([o, &chosen] { chosen.run = [o] { return RunDemo(*o); }; });
}

} // namespace lab
