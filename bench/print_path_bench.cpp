// The print path: WritePort of 4 KiB and 64 KiB chunks to a simulated printer, against
// WriteFile of the same chunks on the port's own device handle, so that the difference is
// what the monitor adds. "--calls N" instead makes N calls of each outside the benchmark
// library, for counting instructions under callgrind (bench/print-ratios.sh does).
#include "bench/monitor_bench.h"
#include "port_monitor/monitor.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The printer's data is dropped now and then, so that a long run does not fill the disk.
constexpr size_t kKeepAtMost = 64 << 20;

struct OpenPrinter {
    MONITOR table{};
    HANDLE port = nullptr;
};

const OpenPrinter& ThePrinter() {
    static const OpenPrinter printer = [] {
        OpenPrinter p;
        p.table = vtxbench::StartMonitor(1);
        p.port = vtxbench::OpenStartedPort(p.table, 0);
        if (p.port == nullptr)
            std::abort();
        return p;
    }();
    return printer;
}

HANDLE DeviceOf(HANDLE port) {
    return static_cast<PortHandle*>(port)->handle;
}

template <class Write> void WriteChunks(benchmark::State& state, Write write) {
    std::vector<BYTE> chunk(static_cast<size_t>(state.range(0)), 0x1b);
    size_t kept = 0;
    for (auto _ : state) {
        DWORD written = 0;
        if (!write(chunk, &written) || written != chunk.size()) {
            state.SkipWithError("the write failed");
            break;
        }
        kept += written;
        if (kept >= kKeepAtMost) {
            state.PauseTiming();
            vtxsim::ClearReceivedData(vtxbench::BenchPrinter(0).serial);
            kept = 0;
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_WritePort(benchmark::State& state) {
    const OpenPrinter& p = ThePrinter();
    WriteChunks(state, [&p](std::vector<BYTE>& chunk, DWORD* written) {
        return p.table.pfnWritePort(p.port, chunk.data(), static_cast<DWORD>(chunk.size()),
                                    written);
    });
}
BENCHMARK(BM_WritePort)->Arg(4 << 10)->Arg(64 << 10);

void BM_WriteFile(benchmark::State& state) {
    HANDLE device = DeviceOf(ThePrinter().port);
    WriteChunks(state, [device](std::vector<BYTE>& chunk, DWORD* written) {
        return WriteFile(device, chunk.data(), static_cast<DWORD>(chunk.size()), written, nullptr);
    });
}
BENCHMARK(BM_WriteFile)->Arg(4 << 10)->Arg(64 << 10);

} // namespace

// Each makes count writes of 4 KiB; callgrind collects inside one of them at a time.
extern "C" __attribute__((noinline)) void vtxbench_write_port_calls(int count) {
    const OpenPrinter& p = ThePrinter();
    std::vector<BYTE> chunk(4 << 10, 0x1b);
    for (int i = 0; i < count; ++i) {
        DWORD written = 0;
        p.table.pfnWritePort(p.port, chunk.data(), static_cast<DWORD>(chunk.size()), &written);
    }
}

extern "C" __attribute__((noinline)) void vtxbench_write_file_calls(int count) {
    HANDLE device = DeviceOf(ThePrinter().port);
    std::vector<BYTE> chunk(4 << 10, 0x1b);
    for (int i = 0; i < count; ++i) {
        DWORD written = 0;
        WriteFile(device, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
    }
}

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--calls") == 0) {
        int count = std::atoi(argv[2]);
        ThePrinter();
        vtxbench_write_port_calls(count);
        vtxbench_write_file_calls(count);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
