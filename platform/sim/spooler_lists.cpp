// WINSPOOL's lists: the monitors the spooler has loaded, the ports they list and the printers.
//
// The spooler loads each registered instance's "Driver" library and lists the instances whose
// InitializeMonitorEx succeeded; their ports are what each instance's EnumPorts gives, a name
// listed once. A printer is a key below "...\Print\Printers" with its "Port", "Printer Driver",
// "Attributes" and "Status" values.
#include "platform/sim/case_folding.h"
#include "platform/sim/faults.h"
#include "platform/sim/monitor_host.h"
#include "platform/sim/registry_values.h"
#include "platform/sim/simulated_call.h"
#include "platform/sim/spooler.h"
#include "platform/win32api.h"

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kEnvironment = "Windows 4.0";

struct LoadedMonitor {
    std::string name;
    std::string driver;
};

struct SpoolerView {
    std::vector<LoadedMonitor> monitors;
    std::vector<vtxsim::PortInfo> ports;
};

// Each library once; an instance counts when its InitializeMonitorEx succeeded.
SpoolerView LoadMonitors(DWORD portLevel) {
    SpoolerView view;
    std::set<std::string> libraries;
    std::set<std::string> portNames;
    for (const std::string& name : sim::MonitorNames()) {
        std::string driver = sim::MonitorDriver(name);
        std::string library = sim::FoldAscii(driver.substr(driver.find_last_of('\\') + 1));
        if (driver.empty() || !libraries.insert(library).second)
            continue;
        sim::MonitorHost host(driver);
        host.StartInstances();
        for (const vtxsim::MonitorInstance& instance : host.Instances()) {
            if (!instance.called || !instance.result)
                continue;
            view.monitors.push_back({instance.name, sim::MonitorDriver(instance.name)});
            for (vtxsim::PortInfo& port : host.EnumPorts(portLevel, instance.name).ports) {
                if (portNames.insert(sim::FoldAscii(port.name)).second)
                    view.ports.push_back(std::move(port));
            }
        }
    }
    return view;
}

// Places a record's strings at the end of the buffer, or only counts them on the sizing pass.
class StringPlacer {
  public:
    StringPlacer(LPBYTE buffer, DWORD end) : buffer_(buffer), end_(end) {}
    LPSTR operator()(const std::string& text) {
        total_ += static_cast<DWORD>(text.size() + 1);
        if (buffer_ == nullptr)
            return nullptr;
        end_ -= static_cast<DWORD>(text.size() + 1);
        LPSTR at = reinterpret_cast<LPSTR>(buffer_ + end_);
        std::memcpy(at, text.c_str(), text.size() + 1);
        return at;
    }
    DWORD Total() const { return total_; }

  private:
    LPBYTE buffer_;
    DWORD end_;
    DWORD total_ = 0;
};

// Records first, strings from the end: the layout of every spooler list. fill(i, record,
// place) fills record i, taking its strings' places from place.
template <class Record>
sim::CallResult<BOOL> PackRecords(size_t count,
                                  const std::function<void(size_t, Record&, StringPlacer&)>& fill,
                                  LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
    if (needed == nullptr || returned == nullptr)
        return sim::Fail(ERROR_INVALID_PARAMETER);
    *returned = 0;
    StringPlacer sizing(nullptr, 0);
    for (size_t i = 0; i < count; ++i) {
        Record record{};
        fill(i, record, sizing);
    }
    *needed = static_cast<DWORD>(count * sizeof(Record)) + sizing.Total();
    if (*needed > size || (buffer == nullptr && *needed > 0))
        return sim::Fail(ERROR_INSUFFICIENT_BUFFER);
    StringPlacer placer(buffer, size);
    Record* records = reinterpret_cast<Record*>(buffer);
    for (size_t i = 0; i < count; ++i) {
        Record record{};
        fill(i, record, placer);
        std::memcpy(&records[i], &record, sizeof record);
    }
    *returned = static_cast<DWORD>(count);
    return TRUE;
}

DWORD CheckServer(LPCSTR name) {
    return name == nullptr || name[0] == '\0' ? 0 : ERROR_INVALID_NAME;
}

std::string PrinterKey(const std::string& name) {
    return std::string("HKEY_LOCAL_MACHINE\\") + vtxsim::kPrintersKeyPath + "\\" + name;
}

} // namespace

using sim::Locking;
using sim::OnSuccess;

// The lists are made without the machine lock: the spooler starts each monitor, whose threads
// use the machine while it waits for them.
extern "C" {

BOOL WINAPI EnumMonitorsA(LPSTR pName, DWORD Level, LPBYTE pMonitor, DWORD cbBuf, LPDWORD pcbNeeded,
                          LPDWORD pcReturned) {
    return sim::SimulatedCall<BOOL>(
        {"EnumMonitorsA", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            if (DWORD error = CheckServer(pName))
                return sim::Fail(error);
            if (Level != 1 && Level != 2)
                return sim::Fail(ERROR_INVALID_LEVEL);
            std::vector<LoadedMonitor> monitors = LoadMonitors(1).monitors;
            if (Level == 1)
                return PackRecords<MONITOR_INFO_1A>(
                    monitors.size(),
                    [&](size_t i, MONITOR_INFO_1A& r, StringPlacer& place) {
                        r.pName = place(monitors[i].name);
                    },
                    pMonitor, cbBuf, pcbNeeded, pcReturned);
            return PackRecords<MONITOR_INFO_2A>(
                monitors.size(),
                [&](size_t i, MONITOR_INFO_2A& r, StringPlacer& place) {
                    r.pName = place(monitors[i].name);
                    r.pEnvironment = place(kEnvironment);
                    r.pDLLName = place(monitors[i].driver);
                },
                pMonitor, cbBuf, pcbNeeded, pcReturned);
        });
}

BOOL WINAPI EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPort, DWORD cbBuf, LPDWORD pcbNeeded,
                       LPDWORD pcReturned) {
    return sim::SimulatedCall<BOOL>(
        {"EnumPortsA", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            if (DWORD error = CheckServer(pName))
                return sim::Fail(error);
            if (Level != 1 && Level != 2)
                return sim::Fail(ERROR_INVALID_LEVEL);
            std::vector<vtxsim::PortInfo> ports = LoadMonitors(Level).ports;
            if (Level == 1)
                return PackRecords<PORT_INFO_1A>(
                    ports.size(),
                    [&](size_t i, PORT_INFO_1A& r, StringPlacer& place) {
                        r.pName = place(ports[i].name);
                    },
                    pPort, cbBuf, pcbNeeded, pcReturned);
            return PackRecords<PORT_INFO_2A>(
                ports.size(),
                [&](size_t i, PORT_INFO_2A& r, StringPlacer& place) {
                    r.pPortName = place(ports[i].name);
                    r.pMonitorName = place(ports[i].monitor);
                    r.pDescription = place(ports[i].description);
                    r.fPortType = ports[i].type;
                },
                pPort, cbBuf, pcbNeeded, pcReturned);
        });
}

BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
    return sim::SimulatedCall<BOOL>(
        {"EnumPrintersA", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            if (DWORD error = CheckServer(Name))
                return sim::Fail(error);
            if (Level != 2)
                return sim::Fail(ERROR_INVALID_LEVEL);
            // Only local printers exist on this machine.
            std::vector<std::string> names;
            if ((Flags & PRINTER_ENUM_LOCAL) != 0)
                names = sim::PrinterNames();
            return PackRecords<PRINTER_INFO_2A>(
                names.size(),
                [&](size_t i, PRINTER_INFO_2A& r, StringPlacer& place) {
                    const std::string key = PrinterKey(names[i]);
                    r.pPrinterName = place(names[i]);
                    r.pPortName = place(sim::StringValue(key, "Port").value_or(""));
                    r.pDriverName = place(sim::StringValue(key, "Printer Driver").value_or(""));
                    r.Attributes = sim::DwordValue(key, "Attributes").value_or(0);
                    r.Status = sim::DwordValue(key, "Status").value_or(0);
                },
                pPrinterEnum, cbBuf, pcbNeeded, pcReturned);
        });
}

} // extern "C"
