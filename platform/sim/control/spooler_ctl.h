// Control: the spooler's printers and a host that loads a port monitor library as the
// Windows 9x spooler does, for tests and the lab.
#pragma once

#include "platform/sim/machine_types.h"
#include "platform/monitor9x.h"
#include "platform/win32api.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sim {
class MonitorHost;
}

namespace vtxsim {

// kMonitorsKeyPath and kPrintersKeyPath: machine_types.h.

// A printer of the spooler: its key below the Printers key with its "Port" value.
bool AddPrinter(const std::string& name, const std::string& port);
bool DeletePrinter(const std::string& name);
std::vector<std::string> PrinterNames();
// The "Port" value of a printer; empty when it has none.
std::string PrinterPort(const std::string& name);

// Registered monitor instances (subkeys of the Monitors key) and their "Driver" values.
std::vector<std::string> MonitorNames();
std::string MonitorDriver(const std::string& name);

// Where the Linux builds of monitor libraries lie. Default: the environment's
// VTXSIM_MONITOR_DIR; when that is unset too, the loader's own search path.
void SetMonitorLibraryDir(const std::filesystem::path& dir);
std::filesystem::path MonitorLibraryDir();
// "vtxpmo01.dll" -> <dir>/libvtxpmo01.so (directory part of the DLL name dropped, lower case).
std::filesystem::path MonitorLibraryPath(std::string_view dllName);

// MonitorInstance, PortInfo and EnumPortsResult: machine_types.h.

// Loads a monitor library (once per process: every host of one library shares its state, as
// the instances of one monitor do in the spooler) and starts the registered instances whose
// "Driver" names it. Ports opened through the host and still open are closed when it goes.
class MonitorHost {
  public:
    explicit MonitorHost(std::string dllName = "vtxpmo01.dll");
    ~MonitorHost();
    MonitorHost(const MonitorHost&) = delete;
    MonitorHost& operator=(const MonitorHost&) = delete;

    // Calls InitializeMonitorEx once for each registered instance of this library, one after
    // the other or from one thread each, all released at once. False when the library or its
    // entry cannot be found (see Error()) or when any instance's call failed.
    bool StartInstances(bool parallel = false);
    const std::vector<MonitorInstance>& Instances() const;
    // The table of an instance (the first started one for an empty name); throws
    // std::out_of_range for an instance the host did not start.
    const MONITOR& Table(const std::string& instance = {}) const;
    const std::string& Error() const;

    // Thin wrappers over the table's operations; the last error is the monitor's.
    EnumPortsResult EnumPorts(DWORD level, const std::string& instance = {}) const;
    HANDLE OpenPort(const std::string& port, const std::string& instance = {});
    BOOL StartDocPort(HANDLE port, const std::string& printer, DWORD jobId,
                      const std::string& instance = {});
    BOOL WritePort(HANDLE port, std::string_view data, DWORD* written,
                   const std::string& instance = {});
    BOOL ReadPort(HANDLE port, void* buffer, DWORD size, DWORD* read,
                  const std::string& instance = {});
    BOOL EndDocPort(HANDLE port, const std::string& instance = {});
    BOOL ClosePort(HANDLE port, const std::string& instance = {});

  private:
    std::unique_ptr<sim::MonitorHost> host_;
};

} // namespace vtxsim
