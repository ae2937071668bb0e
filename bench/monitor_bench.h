// What the monitor benchmarks share: a machine in memory with N printers and the monitor
// started on it, as the spooler starts it, and ports opened with a document started.
#pragma once

#include "driver_install/printer_install.h"
#include "platform/monitor9x.h"
#include "platform/sim/control/simctl.h"

#include <string>

namespace vtxbench {

inline vtxsim::PrinterSpec BenchPrinter(int index) {
    vtxsim::PrinterSpec spec;
    spec.serial = "SN" + std::to_string(1000 + index);
    return spec;
}

// Printers SN1000, SN1001, ... on a fresh machine; the table built at tick 0 and the clock at
// 1, inside the staleness window.
inline MONITOR StartMonitor(int printers) {
    vtxsim::UseMachine({});
    vtxsim::ResetMachine();
    vtxsim::ClearFailures();
    vtxsim::SetTickCount(0);
    for (int i = 0; i < printers; ++i)
        vtxsim::InstallPrinter(BenchPrinter(i));
    MONITOR table{};
    std::string root = "System\\CurrentControlSet\\Control\\Print\\Monitors\\SN1000";
    InitializeMonitorEx(root.data(), &table);
    vtxsim::SetTickCount(1);
    return table;
}

// The port of printer index, opened with a document started: its device handle is open.
inline HANDLE OpenStartedPort(const MONITOR& table, int index) {
    std::string name = vtxsim::PortNameOf(BenchPrinter(index));
    char printer[] = "Draftaire K9 on USB";
    HANDLE port = nullptr;
    if (!table.pfnOpenPort(name.data(), &port) ||
        !table.pfnStartDocPort(port, printer, 1, 1, nullptr))
        return nullptr;
    return port;
}

} // namespace vtxbench
