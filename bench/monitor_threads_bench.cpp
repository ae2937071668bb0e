// The monitor under the spooler's threads: how often the port table is rebuilt while 8 threads
// call EnumPorts and OpenPort for 60 s of the machine's clock (the 10000 ms window allows at
// most 7 rebuilds), and the aggregate WritePort throughput of 1, 2 and 4 threads, each on a
// port of its own, which takes no lock of the monitor's, against what the host's file system
// allows the same threads.
#include "driver_install/printer_install.h"
#include "bench/monitor_bench.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kSpoolerThreads = 8;
constexpr DWORD kSimulatedMs = 60'000;
constexpr DWORD kClockStepMs = 10;
constexpr int kWritingPorts = 4;
constexpr size_t kKeepAtMost = 64 << 20;

DWORD EnumerateOnce(const MONITOR& table, std::vector<BYTE>& buffer) {
    DWORD needed = 0;
    DWORD returned = 0;
    table.pfnEnumPorts(nullptr, 1, nullptr, 0, &needed, &returned);
    buffer.resize(needed);
    table.pfnEnumPorts(nullptr, 1, buffer.data(), needed, &needed, &returned);
    return returned;
}

// The spooler's threads enumerate and open ports while the clock runs through a minute in
// small steps; the rebuilds are the device scans, one SetupDiGetClassDevsA each.
void BM_TableRebuildsUnderEightThreads(benchmark::State& state) {
    MONITOR table = vtxbench::StartMonitor(4);
    unsigned rebuilds = 0;
    for (auto _ : state) {
        vtxsim::SetTickCount(1);
        vtxsim::ClearFailures();
        std::atomic<bool> done{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < kSpoolerThreads; ++t) {
            threads.emplace_back([&table, &done, t] {
                std::vector<BYTE> buffer;
                std::string name = vtxsim::PortNameOf(vtxbench::BenchPrinter(t % 4));
                while (!done.load()) {
                    if (t % 2 == 0) {
                        EnumerateOnce(table, buffer);
                    } else {
                        HANDLE port = nullptr;
                        if (table.pfnOpenPort(name.data(), &port))
                            table.pfnClosePort(port);
                    }
                }
            });
        }
        for (DWORD ms = 0; ms < kSimulatedMs; ms += kClockStepMs) {
            vtxsim::AdvanceTickCount(kClockStepMs);
            std::this_thread::yield();
        }
        done = true;
        for (std::thread& thread : threads)
            thread.join();
        rebuilds = vtxsim::CallCount("SetupDiGetClassDevsA");
    }
    state.counters["rebuilds"] = rebuilds;
}
BENCHMARK(BM_TableRebuildsUnderEightThreads)->Iterations(1)->Unit(benchmark::kMillisecond);

struct WritingPorts {
    MONITOR table{};
    HANDLE ports[kWritingPorts] = {};
};

const WritingPorts& Ports() {
    static const WritingPorts ports = [] {
        WritingPorts p;
        p.table = vtxbench::StartMonitor(kWritingPorts);
        for (int i = 0; i < kWritingPorts; ++i) {
            p.ports[i] = vtxbench::OpenStartedPort(p.table, i);
            if (p.ports[i] == nullptr)
                std::abort();
        }
        return p;
    }();
    return ports;
}

// Each thread writes 64 KiB chunks to its own port; bytes per second add up over the threads.
void BM_WritePortThreads(benchmark::State& state) {
    const WritingPorts& p = Ports();
    int index = state.thread_index();
    HANDLE port = p.ports[index];
    std::vector<BYTE> chunk(64 << 10, 0x1b);
    size_t kept = 0;
    for (auto _ : state) {
        DWORD written = 0;
        if (!p.table.pfnWritePort(port, chunk.data(), static_cast<DWORD>(chunk.size()), &written)) {
            state.SkipWithError("the write failed");
            break;
        }
        kept += written;
        if (kept >= kKeepAtMost) {
            state.PauseTiming();
            vtxsim::ClearReceivedData(vtxbench::BenchPrinter(index).serial);
            kept = 0;
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(chunk.size()));
}

// Opens the ports before the threads start, so that none of them times the setup.
void OpenPortsFirst(const benchmark::State&) {
    Ports();
}

BENCHMARK(BM_WritePortThreads)
    ->Setup(OpenPortsFirst)
    ->Threads(1)
    ->Threads(2)
    ->Threads(4)
    ->UseRealTime();

// The ceiling the host sets: the same chunks appended with plain system calls, each thread to a
// file of its own in a directory of its own, as the simulated printers keep what they receive.
void BM_HostAppendThreads(benchmark::State& state) {
    fs::path dir = vtxsim::MachineDirectory() / ("append-" + std::to_string(state.thread_index()));
    fs::create_directories(dir);
    fs::path file = dir / "received";
    std::vector<BYTE> chunk(64 << 10, 0x1b);
    size_t kept = 0;
    for (auto _ : state) {
        int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0 || write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) {
            state.SkipWithError("the append failed");
            break;
        }
        close(fd);
        kept += chunk.size();
        if (kept >= kKeepAtMost) {
            state.PauseTiming();
            fs::remove(file);
            kept = 0;
            state.ResumeTiming();
        }
    }
    fs::remove_all(dir);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(chunk.size()));
}
BENCHMARK(BM_HostAppendThreads)->Threads(1)->Threads(2)->Threads(4)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
