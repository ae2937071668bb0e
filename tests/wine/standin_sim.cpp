// vtxspool on the simulated machine (VTXSIM_MACHINE): the monitor's Linux build loaded from
// VTXSIM_MONITOR_DIR as the 9x spooler loads the DLL, and the machine's own controls, so that
// the Wine tests can set up and read the simulator the way they set up and read Wine.
//
//   vtxspool device <instance id> <serial> <product>  a printer as its driver installs it
//   vtxspool stall <serial>           writes move nothing and the status control fails (50)
//   vtxspool received <serial>        what the printer received
//   vtxspool plug <instance id>       the printer plugged in (its device made if it has none)
//   vtxspool unplug <instance id>     the printer pulled out
//   vtxspool settings <98|me> <shell 0|1>
//   vtxspool import <file.reg> | export
//   vtxspool put <windows path> <host file> | file <windows path>
//   vtxspool restart                  wininit.ini's RENAME section, then RunOnce
//   vtxspool journal                  the programs started, one line each
#include "driver_install/printer_install.h"
#include "platform/sim/control/simctl.h"
#include "tests/wine/standin.h"

#include <dlfcn.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// What the status control of a plain file fails with under Wine (ERROR_NOT_SUPPORTED).
constexpr DWORD kControlFails = 50;

int MakeDevice(const std::string& instance, const std::string& serial, const std::string& product) {
    vtxsim::PrinterSpec spec = vtxsim::DraftaireK9(serial);
    std::string::size_type pid = instance.find("PID_");
    if (pid != std::string::npos)
        spec.productId = instance.substr(pid + 4, 4);
    spec.product = product;
    spec.classInstance.clear();
    vtxsim::InstallPrinter(spec);
    std::cout << "DevicePath=" << vtxsim::DevicePathOf(spec) << "\n";
    return 0;
}

int Stall(const std::string& serial) {
    vtxsim::SetStall(serial, 0);
    vtxsim::SetControlReply(serial, vtxsim::kStatusControl, "", kControlFails);
    return 0;
}

int Settings(const std::string& version, const std::string& shell) {
    vtxsim::SetWindowsVersion(version == "me" ? vtxsim::WindowsVersion::WinMe
                                              : vtxsim::WindowsVersion::Win98);
    vtxsim::SetShellRunning(shell == "1");
    return 0;
}

int Put(const std::string& windowsPath, const std::string& hostFile) {
    std::ifstream in(hostFile, std::ios::binary);
    if (!in) {
        std::cerr << "vtxspool: cannot read " << hostFile << "\n";
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    vtxsim::PutFile(windowsPath, text.str());
    return 0;
}

int ShowFile(const std::string& windowsPath) {
    std::optional<std::string> contents = vtxsim::GetFileContents(windowsPath);
    if (!contents)
        return 1;
    std::cout << *contents;
    return 0;
}

int Restart() {
    for (const vtxsim::RestartStep& step : vtxsim::RestartMachine())
        std::cout << "Restart=" << vtxsim::Describe(step) << "\n";
    return 0;
}

int Journal() {
    for (const vtxsim::ProcessStart& start : vtxsim::ProcessJournal()) {
        std::cout << "Start=" << start.source << " application=[" << start.application
                  << "] command=[" << start.commandLine << "] directory=[" << start.currentDirectory
                  << "]\n";
    }
    return 0;
}

} // namespace

bool standin::LoadMonitor(char* registryRoot, MONITOR* monitor) {
    std::string path = vtxsim::MonitorLibraryPath("vtxpmo01.dll").string();
    void* library = dlopen(path.c_str(), RTLD_NOW);
    if (library == nullptr) {
        std::cout << "LoadLibraryA=failed error=126\n";
        return false;
    }
    auto initialize = reinterpret_cast<INITIALIZEMONITOREX>(dlsym(library, "InitializeMonitorEx"));
    if (initialize == nullptr) {
        std::cout << "GetProcAddress=failed error=127\n";
        return false;
    }
    std::memset(monitor, 0, sizeof(*monitor));
    if (!initialize(registryRoot, monitor)) {
        Fail("InitializeMonitorEx");
        return false;
    }
    std::cout << "InitializeMonitorEx=ok" << std::endl;
    return true;
}

int standin::RunMachineCommand(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return -1;
    const std::string& command = args[0];
    if (command == "device" && args.size() == 4)
        return MakeDevice(args[1], args[2], args[3]);
    if (command == "stall" && args.size() == 2)
        return Stall(args[1]);
    if (command == "received" && args.size() == 2) {
        std::cout << vtxsim::ReceivedData(args[1]);
        return 0;
    }
    if (command == "plug" && args.size() == 2) {
        vtxsim::AttachPrinter(args[1]);
        return 0;
    }
    if (command == "unplug" && args.size() == 2) {
        vtxsim::DetachPrinter(args[1]);
        return 0;
    }
    if (command == "settings" && args.size() == 3)
        return Settings(args[1], args[2]);
    if (command == "import" && args.size() == 2) {
        vtxsim::ImportReg(args[1]);
        return 0;
    }
    if (command == "export" && args.size() == 1) {
        std::cout << vtxsim::ExportRegistry();
        return 0;
    }
    if (command == "put" && args.size() == 3)
        return Put(args[1], args[2]);
    if (command == "file" && args.size() == 2)
        return ShowFile(args[1]);
    if (command == "restart" && args.size() == 1)
        return Restart();
    if (command == "journal" && args.size() == 1)
        return Journal();
    return -1;
}
