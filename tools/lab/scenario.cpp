#include "tools/lab/scenario.h"
#include "tools/lab/helper_process.h"
#include "tools/lab/report.h"

#include "platform/sim/test/simctl.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace lab {
namespace {

const std::string kModel = "Draftaire K9";
const std::string kSerial = "AB12";
const std::string kHelperPath = "C:\\WINDOWS\\SYSTEM\\VTXINH01.EXE";
const std::string kHelperFile = "C:\\Windows\\System\\vtxinh01.exe";
const std::string kPrinter = "Draftaire K9 on USB";
const std::string kHklm = "HKEY_LOCAL_MACHINE\\";

std::string InstallCommand() {
    return kHelperPath + " -action=2 -model=" + kModel + " -serial=" + kSerial;
}

std::string RemoveCommand() {
    return kHelperPath + " -action=64 -model=" + kModel + " -serial=" + kSerial;
}

std::string Quoted(const std::optional<std::string>& text) {
    return text ? "\"" + *text + "\"" : "(none)";
}

void ShowLines(Report& report, const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            report.Show(text.substr(start, end - start));
        start = end + 1;
    }
}

bool RunHelperStep(Report& report, const Options& options, const std::string& commandLine) {
    report.Show("device installer starts: " + commandLine);
    HelperRun run = RunHelper(options.helperExe, vtxsim::MachineDirectory(), commandLine);
    if (!run.failure.empty())
        report.Show(run.failure);
    return report.Check(run.failure.empty() && run.exitCode == 0,
                        "the helper ran as its own process and exited with 0");
}

vtxsim::PrinterSpec LabPrinter() {
    vtxsim::PrinterSpec spec;
    spec.model = kModel;
    spec.serial = kSerial;
    return spec;
}

void PrepareMachine(Report& report, const Options& options) {
    report.Step("A fresh Windows 98 machine; the maker's driver installation plugs in a printer");
    vtxsim::ResetMachine();
    vtxsim::SetWindowsVersion(options.version);
    vtxsim::SetShellRunning(options.shellRunning);
    vtxsim::SetTickCount(1234567);
    vtxsim::PrinterSpec spec = LabPrinter();
    vtxsim::InstallPrinter(spec);
    // The maker's setup software: the marker that allows a direct start, and the program.
    vtxsim::PutFile(spec.setupRootPath + "\\launch.ini", "[Launch]\r\n");
    vtxsim::PutFile(spec.setupRootPath + "\\..\\setup.exe", "MZ");
    report.Show("machine directory: " + vtxsim::MachineDirectory().string());
    report.Show("device instance:   " + vtxsim::DeviceInstanceOf(spec));
    report.Show("device path:       " + vtxsim::DevicePathOf(spec));
    report.Check(vtxsim::IsPrinterAttached(kSerial), "the printer is attached");
}

void Install(Report& report, const Options& options) {
    report.Step("Attach: the helper registers the monitor and prepares the maker's setup");
    RunHelperStep(report, options, InstallCommand());
    std::vector<std::string> monitors = vtxsim::MonitorNames();
    bool registered = std::find(monitors.begin(), monitors.end(), kSerial) != monitors.end();
    report.Check(registered && vtxsim::MonitorDriver(kSerial) == "vtxpmo01.dll",
                 "monitor instance \"AB12\" registered with the spooler, driver vtxpmo01.dll");
    std::optional<std::string> cmdLine =
        vtxsim::StringValue(kHklm + "Software\\Kelvara\\VTX\\K9\\AB12", "CmdLine");
    report.Show("CmdLine = " + Quoted(cmdLine));
    report.Check(cmdLine && cmdLine->find(" -v port=USB/Draftaire K9/AB12") != std::string::npos,
                 "the setup parameters name the printer's port");
    for (const vtxsim::ProcessStart& start : vtxsim::ProcessJournal())
        report.Show("started: " + start.application + " with \"" + start.commandLine + "\"");
    if (options.shellRunning)
        report.Check(!vtxsim::ProcessJournal().empty(), "the shell runs: setup.exe started");
    else
        report.Check(vtxsim::StringValue(kHklm + "Software\\Microsoft\\Windows\\CurrentVersion"
                                                 "\\RunOnce",
                                         "RunOnce")
                         .has_value(),
                     "no shell yet: the setup program queued in RunOnce");
    std::optional<std::string> wininit = vtxsim::GetFileContents("C:\\Windows\\wininit.ini");
    report.Show("wininit.ini:");
    ShowLines(report, wininit.value_or("(none)"));
    report.Check(vtxsim::FileExists("C:\\Windows\\System\\01234567.ex_"),
                 "the helper's copy waits for the restart as 01234567.ex_");
}

std::string PortOfPrinter(Report& report, vtxsim::MonitorHost& host) {
    report.Step("The spooler loads the monitor and lists its ports");
    bool started = host.StartInstances();
    if (!host.Error().empty())
        report.Show(host.Error());
    report.Check(started, "InitializeMonitorEx succeeded for every registered instance");
    vtxsim::EnumPortsResult ports = host.EnumPorts(2);
    for (const vtxsim::PortInfo& port : ports.ports)
        report.Show("port: " + port.name + "  (type " + std::to_string(port.type) + ")");
    std::string expected = "USB/Draftaire K9/AB12";
    bool listed = std::any_of(ports.ports.begin(), ports.ports.end(),
                              [&](const vtxsim::PortInfo& p) { return p.name == expected; });
    report.Check(ports.ok && ports.wellFormed && listed, "EnumPorts level 2 lists " + expected);
    vtxsim::AddPrinter(kPrinter, expected);
    report.Show("printer \"" + kPrinter + "\" created on that port");
    return expected;
}

void PrintJob(Report& report, vtxsim::MonitorHost& host, const std::string& port) {
    report.Step("A print job, from OpenPort to ClosePort");
    const std::string job = "%!PS-Adobe-3.0\n/Helvetica findfont 24 scalefont setfont\n"
                            "72 720 moveto (Hello from Windows 98) show showpage\n";
    HANDLE handle = host.OpenPort(port);
    report.Check(handle != nullptr, "OpenPort");
    report.Check(host.StartDocPort(handle, kPrinter, 1) != FALSE,
                 "StartDocPort opens the device exclusively");
    report.Check(vtxsim::IsDeviceOpen(kSerial), "the device is held open");
    DWORD written = 0;
    BOOL ok = host.WritePort(handle, job, &written);
    report.Check(ok && written == job.size(),
                 "WritePort moved " + std::to_string(written) + " bytes");
    report.Check(host.EndDocPort(handle) != FALSE && !vtxsim::IsDeviceOpen(kSerial),
                 "EndDocPort closes the device");
    report.Check(host.ClosePort(handle) != FALSE, "ClosePort");
    report.Check(vtxsim::ReceivedData(kSerial) == job,
                 "the printer received the job byte for byte");
}

void PaperOut(Report& report, vtxsim::MonitorHost& host, const std::string& port) {
    report.Step("The printer runs out of paper in the middle of a job");
    HANDLE handle = host.OpenPort(port);
    host.StartDocPort(handle, kPrinter, 2);
    vtxsim::SetStatusByte(kSerial, vtxsim::kPaperEmpty | vtxsim::kSelected | vtxsim::kNoError);
    vtxsim::SetStall(kSerial, 0);
    DWORD written = 0;
    SetLastError(0);
    BOOL ok = host.WritePort(handle, "page two", &written);
    DWORD error = GetLastError();
    report.Check(!ok && written == 0 && error == ERROR_OUT_OF_PAPER,
                 "WritePort fails with ERROR_OUT_OF_PAPER (28); got " + std::to_string(error));
    vtxsim::SetStatusByte(kSerial, vtxsim::kDefaultStatus);
    vtxsim::ClearStall(kSerial);
    ok = host.WritePort(handle, "page two", &written);
    report.Check(ok && written == 8, "paper loaded: the write goes through");
    host.EndDocPort(handle);
    host.ClosePort(handle);
}

void Replug(Report& report, const Options& options) {
    report.Step("The printer is plugged in again: it already has a printer, nothing is done");
    size_t startsBefore = vtxsim::ProcessJournal().size();
    RunHelperStep(report, options, InstallCommand());
    report.Check(vtxsim::ProcessJournal().size() == startsBefore,
                 "no second setup start for a printer the spooler already serves");
}

void Remove(Report& report, const Options& options) {
    report.Step("Removal: the printer is unplugged and the helper cleans up");
    vtxsim::DetachPrinter(kSerial);
    vtxsim::DeletePrinter(kPrinter);
    RunHelperStep(report, options, RemoveCommand());
    std::vector<std::string> monitors = vtxsim::MonitorNames();
    report.Check(std::find(monitors.begin(), monitors.end(), kSerial) == monitors.end(),
                 "monitor instance \"AB12\" deleted");
    report.Check(!vtxsim::KeyExists(kHklm + "Enum\\USB\\VID_0D7A&PID_0042"),
                 "the device's Enum\\USB keys are gone");
    // "Software\Kelvara\VTX" itself is no device's: the removal leaves it, emptied.
    report.Check(!vtxsim::KeyExists(kHklm + "Software\\Kelvara\\VTXIO") &&
                     !vtxsim::KeyExists(kHklm + "Software\\Kelvara\\VTX\\K9"),
                 "the model key and the device's setup parameters are gone");
    report.Check(!vtxsim::FileExists("C:\\Windows\\System32\\DRIVERS\\vtxubd01.sys"),
                 "the driver files are deleted");
    report.Show("wininit.ini:");
    ShowLines(report, vtxsim::GetFileContents("C:\\Windows\\wininit.ini").value_or("(none)"));
}

void Restart(Report& report) {
    report.Step("Restart: WININIT carries out the RENAME section");
    for (const vtxsim::RestartStep& step : vtxsim::RestartMachine())
        report.Show(vtxsim::Describe(step));
    report.Check(!vtxsim::FileExists(kHelperFile) &&
                     !vtxsim::FileExists("C:\\Windows\\System\\01234567.ex_"),
                 "the helper's file is gone: its deletion stands after the install's rename");
    report.Check(!vtxsim::FileExists("C:\\Windows\\System\\VMM32\\vtxvxu01.dll"),
                 "the VMM32 library is gone");
}

} // namespace

int RunScenario(const Options& options) {
    Report report;
    std::filesystem::path dir = options.machineDir;
    bool temporary = dir.empty();
    if (temporary) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vtxlab-machine-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::fprintf(stderr, "vtxlab: cannot create a machine directory\n");
            return 2;
        }
        dir = pattern;
    }
    vtxsim::UseMachine(dir);
    vtxsim::SetMonitorLibraryDir(options.monitorDir);

    PrepareMachine(report, options);
    Install(report, options);
    {
        vtxsim::MonitorHost host;
        std::string port = PortOfPrinter(report, host);
        PrintJob(report, host, port);
        PaperOut(report, host, port);
    }
    Replug(report, options);
    Remove(report, options);
    Restart(report);
    if (options.dumpRegistry) {
        report.Step("The registry afterwards");
        ShowLines(report, vtxsim::ExportRegistry());
    }
    if (!temporary)
        vtxsim::WriteRegistryFile(); // the kept machine's registry, to read as REGEDIT4
    int code = report.Finish();
    if (temporary) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    return code;
}

} // namespace lab
