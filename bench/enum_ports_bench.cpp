// EnumPorts over a port table of N ports (1, 16 and 127, the USB limit per controller), at
// levels 1 and 2: the spooler's size query and fill, with the table fresh, and with the table
// stale at every call so that each call rebuilds it from the devices (what the 10-second
// window saves); and one ScanDevices over N interfaces. The cost per port must stay flat as
// the ports grow.
#include "bench/monitor_bench.h"
#include "port_monitor/monitor.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

DWORD EnumerateOnce(const MONITOR& table, DWORD level, std::vector<BYTE>& buffer) {
    DWORD needed = 0;
    DWORD returned = 0;
    table.pfnEnumPorts(nullptr, level, nullptr, 0, &needed, &returned);
    buffer.resize(needed);
    table.pfnEnumPorts(nullptr, level, buffer.data(), needed, &needed, &returned);
    return returned;
}

void BM_EnumPortsFresh(benchmark::State& state) {
    MONITOR table = vtxbench::StartMonitor(static_cast<int>(state.range(1)));
    DWORD level = static_cast<DWORD>(state.range(0));
    std::vector<BYTE> buffer;
    for (auto _ : state)
        benchmark::DoNotOptimize(EnumerateOnce(table, level, buffer));
    state.SetItemsProcessed(state.iterations() * state.range(1));
}
BENCHMARK(BM_EnumPortsFresh)->ArgsProduct({{1, 2}, {1, 16, 127}})->MinTime(0.2);

void BM_EnumPortsStale(benchmark::State& state) {
    MONITOR table = vtxbench::StartMonitor(static_cast<int>(state.range(1)));
    DWORD level = static_cast<DWORD>(state.range(0));
    std::vector<BYTE> buffer;
    for (auto _ : state) {
        vtxsim::AdvanceTickCount(10'001);
        benchmark::DoNotOptimize(EnumerateOnce(table, level, buffer));
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
}
BENCHMARK(BM_EnumPortsStale)->ArgsProduct({{1, 2}, {1, 16, 127}})->MinTime(0.2);

void BM_ScanDevices(benchmark::State& state) {
    vtxbench::StartMonitor(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        EnterCriticalSection(&PortTableLock);
        ClearPortTable();
        ScanDevices();
        LeaveCriticalSection(&PortTableLock);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ScanDevices)->Arg(1)->Arg(16)->Arg(127)->MinTime(0.2);

} // namespace

// "--scans N PORTS" instead makes N scans of PORTS interfaces outside the benchmark library,
// for counting instructions under callgrind (bench/print-ratios.sh does).
int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--scans") == 0) {
        int scans = std::atoi(argv[2]);
        vtxbench::StartMonitor(std::atoi(argv[3]));
        for (int i = 0; i < scans; ++i) {
            EnterCriticalSection(&PortTableLock);
            ClearPortTable();
            ScanDevices();
            LeaveCriticalSection(&PortTableLock);
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
