// WINSPOOL's monitor registration as the Windows 98 spooler does it, and the spooler's printers.
//
// A monitor instance is the key "System\CurrentControlSet\Control\Print\Monitors\<name>" with
// its "Driver" value; a printer is the key "...\Print\Printers\<name>" with its "Port" value.
// The check for an existing instance and its creation are one transaction of the machine.
#include "platform/sim/case_folding.h"
#include "platform/sim/files.h"
#include "platform/sim/open_key.h"
#include "platform/sim/registry_values.h"
#include "platform/sim/simulated_call.h"
#include "platform/sim/spooler.h"

#include <string>
#include <string_view>

namespace {

constexpr std::string_view kEnvironment = "Windows 4.0";
constexpr std::string_view kSystemDirectory = "C:\\Windows\\System\\";

bool IsEmpty(LPCSTR text) {
    return text == nullptr || text[0] == '\0';
}

// Only the local spooler exists on this machine.
DWORD CheckServer(LPCSTR server) {
    return IsEmpty(server) ? 0 : ERROR_INVALID_NAME;
}

// NULL means the caller's own environment, which is the one this spooler serves.
DWORD CheckEnvironment(LPCSTR environment) {
    if (environment == nullptr || sim::SameAscii(environment, kEnvironment))
        return 0;
    return ERROR_INVALID_ENVIRONMENT;
}

// An instance name is one registry key name.
DWORD CheckMonitorName(LPCSTR name) {
    if (IsEmpty(name))
        return ERROR_INVALID_PARAMETER;
    if (std::string_view(name).find('\\') != std::string_view::npos)
        return ERROR_INVALID_PARAMETER;
    return 0;
}

std::string MonitorKeyPath(std::string_view name) {
    std::string path = vtxsim::kMonitorsKeyPath;
    path += '\\';
    path += name;
    return path;
}

DWORD RegisterMonitor(const MONITOR_INFO_2A& info) {
    if (DWORD error = CheckMonitorName(info.pName))
        return error;
    if (DWORD error = CheckEnvironment(info.pEnvironment))
        return error;
    if (IsEmpty(info.pDLLName))
        return ERROR_INVALID_PARAMETER;
    std::string systemFile = std::string(kSystemDirectory) + info.pDLLName;
    if (!sim::WindowsFileExists(systemFile))
        return ERROR_MOD_NOT_FOUND;
    std::string keyPath = MonitorKeyPath(info.pName);
    sim::OpenKey existing;
    LONG opened =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_ALL_ACCESS, existing.Out());
    if (opened == ERROR_SUCCESS)
        return ERROR_PRINT_MONITOR_ALREADY_INSTALLED;
    if (opened != ERROR_FILE_NOT_FOUND)
        return static_cast<DWORD>(opened);
    sim::OpenKey created;
    if (LONG error = RegCreateKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str(), created.Out()))
        return static_cast<DWORD>(error);
    std::string_view dll = info.pDLLName;
    LONG set = RegSetValueExA(created.Get(), "Driver", 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(dll.data()),
                              static_cast<DWORD>(dll.size() + 1));
    if (set != ERROR_SUCCESS) {
        // Leave no instance without its driver behind.
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str());
        return static_cast<DWORD>(set);
    }
    return 0;
}

DWORD UnregisterMonitor(LPCSTR name) {
    if (DWORD error = CheckMonitorName(name))
        return error;
    LONG error = RegDeleteKeyA(HKEY_LOCAL_MACHINE, MonitorKeyPath(name).c_str());
    if (error == ERROR_FILE_NOT_FOUND)
        return ERROR_UNKNOWN_PRINT_MONITOR;
    return static_cast<DWORD>(error);
}

std::string Hklm(std::string_view path) {
    return "HKEY_LOCAL_MACHINE\\" + std::string(path);
}

std::string PrinterKeyPath(const std::string& name) {
    return Hklm(vtxsim::kPrintersKeyPath) + "\\" + name;
}

} // namespace

using sim::OnSuccess;

extern "C" {

BOOL WINAPI AddMonitorA(LPSTR pName, DWORD Level, LPBYTE pMonitors) {
    return sim::SimulatedCall<BOOL>(
        {"AddMonitorA", OnSuccess::LeavesLastError, FALSE}, [&]() -> sim::CallResult<BOOL> {
            if (DWORD error = CheckServer(pName))
                return sim::Fail(error);
            if (Level != 2)
                return sim::Fail(ERROR_INVALID_LEVEL);
            if (pMonitors == nullptr)
                return sim::Fail(ERROR_INVALID_PARAMETER);
            return sim::TrueOrFail(
                RegisterMonitor(*reinterpret_cast<const MONITOR_INFO_2A*>(pMonitors)));
        });
}

BOOL WINAPI DeleteMonitorA(LPSTR pName, LPSTR pEnvironment, LPSTR pMonitorName) {
    return sim::SimulatedCall<BOOL>({"DeleteMonitorA", OnSuccess::LeavesLastError, FALSE},
                                    [&]() -> sim::CallResult<BOOL> {
                                        if (DWORD error = CheckServer(pName))
                                            return sim::Fail(error);
                                        if (DWORD error = CheckEnvironment(pEnvironment))
                                            return sim::Fail(error);
                                        return sim::TrueOrFail(UnregisterMonitor(pMonitorName));
                                    });
}

} // extern "C"

namespace sim {

bool AddPrinter(const std::string& name, const std::string& port) {
    if (name.empty() || name.find('\\') != std::string::npos)
        return false;
    SetStringValue(PrinterKeyPath(name), "Port", port);
    return true;
}

bool DeletePrinter(const std::string& name) {
    if (name.empty() || name.find('\\') != std::string::npos)
        return false;
    return DeleteRegistryKey(PrinterKeyPath(name));
}

std::vector<std::string> PrinterNames() {
    return SubkeyNames(Hklm(vtxsim::kPrintersKeyPath));
}

std::string PrinterPort(const std::string& name) {
    return StringValue(PrinterKeyPath(name), "Port").value_or("");
}

std::vector<std::string> MonitorNames() {
    return SubkeyNames(Hklm(vtxsim::kMonitorsKeyPath));
}

std::string MonitorDriver(const std::string& name) {
    return StringValue(Hklm(MonitorKeyPath(name)), "Driver").value_or("");
}

} // namespace sim
