// A stand-in for the part of the Windows 9x spooler that loads port monitors: one library per
// DLL name, loaded once per process (every host of one library shares its state, as the
// instances of one monitor do in the spooler), and InitializeMonitorEx called for each
// registered instance with that instance's registry root. Ports opened through a host and still
// open are closed when it goes.
#pragma once

#include "platform/sim/machine_types.h"
#include "platform/monitor9x.h"
#include "platform/win32api.h"

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Where the Linux builds of monitor libraries lie. Default: the environment's
// VTXSIM_MONITOR_DIR; when that is unset too, the loader's own search path.
void SetMonitorLibraryDir(const std::filesystem::path& dir);
std::filesystem::path MonitorLibraryDir();
// "vtxpmo01.dll" -> <dir>/libvtxpmo01.so (directory part of the DLL name dropped, lower case).
std::filesystem::path MonitorLibraryPath(std::string_view dllName);

class MonitorHost {
  public:
    explicit MonitorHost(std::string dllName);
    ~MonitorHost();
    MonitorHost(const MonitorHost&) = delete;
    MonitorHost& operator=(const MonitorHost&) = delete;

    // Calls InitializeMonitorEx once for each registered instance of this library, one after
    // the other or from one thread each, all released at once. False when the library or its
    // entry cannot be found (see Error()) or when any instance's call failed.
    bool StartInstances(bool parallel = false);
    const std::vector<vtxsim::MonitorInstance>& Instances() const { return instances_; }
    // The table of an instance (the first started one for an empty name); throws
    // std::out_of_range for an instance the host did not start.
    const MONITOR& Table(const std::string& instance) const;
    const std::string& Error() const { return error_; }

    // Thin wrappers over the table's operations; the last error is the monitor's.
    vtxsim::EnumPortsResult EnumPorts(DWORD level, const std::string& instance) const;
    HANDLE OpenPort(const std::string& port, const std::string& instance);
    BOOL StartDocPort(HANDLE port, const std::string& printer, DWORD jobId,
                      const std::string& instance);
    BOOL WritePort(HANDLE port, std::string_view data, DWORD* written, const std::string& instance);
    BOOL ReadPort(HANDLE port, void* buffer, DWORD size, DWORD* read, const std::string& instance);
    BOOL EndDocPort(HANDLE port, const std::string& instance);
    BOOL ClosePort(HANDLE port, const std::string& instance = {});

  private:
    std::string dllName_;
    std::string error_;
    std::vector<vtxsim::MonitorInstance> instances_;
    std::set<HANDLE> openPorts_;
};

} // namespace sim
