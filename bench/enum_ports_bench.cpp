// EnumPorts over a port table of N ports: the spooler's size query and fill at level 2, with the
// table fresh, and with the table stale at every call so that each call rebuilds it from the
// devices (what the 10-second window saves).
#include "platform/monitor9x.h"
#include "platform/sim/test/simctl.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

MONITOR StartMonitor(int ports) {
    vtxsim::ResetMachine();
    vtxsim::ClearFailures();
    vtxsim::SetTickCount(0);
    for (int i = 0; i < ports; ++i) {
        vtxsim::PrinterSpec spec;
        spec.serial = "SN" + std::to_string(1000 + i);
        vtxsim::InstallPrinter(spec);
    }
    MONITOR table{};
    std::string root = "System\\CurrentControlSet\\Control\\Print\\Monitors\\SN1000";
    InitializeMonitorEx(root.data(), &table);
    // Within the window of a build at tick 0: the table stays as it is.
    vtxsim::SetTickCount(1);
    return table;
}

DWORD EnumerateOnce(const MONITOR& table, std::vector<BYTE>& buffer) {
    DWORD needed = 0;
    DWORD returned = 0;
    table.pfnEnumPorts(nullptr, 2, nullptr, 0, &needed, &returned);
    buffer.resize(needed);
    table.pfnEnumPorts(nullptr, 2, buffer.data(), needed, &needed, &returned);
    return returned;
}

void BM_EnumPortsFresh(benchmark::State& state) {
    MONITOR table = StartMonitor(static_cast<int>(state.range(0)));
    std::vector<BYTE> buffer;
    for (auto _ : state)
        benchmark::DoNotOptimize(EnumerateOnce(table, buffer));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EnumPortsFresh)->Arg(1)->Arg(8)->Arg(64)->Arg(256);

void BM_EnumPortsStale(benchmark::State& state) {
    MONITOR table = StartMonitor(static_cast<int>(state.range(0)));
    std::vector<BYTE> buffer;
    for (auto _ : state) {
        vtxsim::AdvanceTickCount(10'001);
        benchmark::DoNotOptimize(EnumerateOnce(table, buffer));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EnumPortsStale)->Arg(1)->Arg(8)->Arg(64);

} // namespace

BENCHMARK_MAIN();
