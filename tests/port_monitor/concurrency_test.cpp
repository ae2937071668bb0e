// The spooler calls the monitor from several threads at once: enumerations, opens, documents
// and closes run together while the table turns stale and is rebuilt under them.
#include "driver_install/printer_install.h"
#include "monitor_fixture.h"

#include <algorithm>
#include <atomic>
#include <latch>
#include <mutex>
#include <sstream>
#include <thread>

namespace monitor_test {
namespace {

char kPrinterName[] = "Draftaire K9";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A spooler thread's enumeration: size query, then the fill; a rebuild between the two may
// change the size, which the second call then reports.
void Enumerate(const MONITOR& table) {
    DWORD needed = 0;
    DWORD returned = 0;
    if (table.pfnEnumPorts(nullptr, 2, nullptr, 0, &needed, &returned))
        return;
    std::vector<BYTE> buffer(needed);
    BOOL ok = table.pfnEnumPorts(nullptr, 2, buffer.data(), needed, &needed, &returned);
    EXPECT_TRUE(ok || GetLastError() == static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(MonitorTest, ConcurrentSpoolersEnumerateOpenPrintAndClose) {
    const std::vector<std::string> serials{"AB12", "CD34", "EF56"};
    for (const std::string& serial : serials)
        vtxsim::InstallPrinter(Printer("Draftaire K9", serial));
    StartMonitor();
    const unsigned blocks = vtxsim::LiveGlobalBlocks();
    constexpr int kThreads = 6;
    constexpr int kJobs = 40;

    std::mutex mutex;
    std::vector<std::vector<std::string>> printed(serials.size());
    std::atomic<int> running{kThreads};
    std::latch go(kThreads + 1);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const MONITOR& table = Table();
            go.arrive_and_wait();
            for (int i = 0; i < kJobs; ++i) {
                Enumerate(table);
                size_t device = static_cast<size_t>(t + i) % serials.size();
                std::string name = "USB/Draftaire K9/" + serials[device];
                HANDLE port = nullptr;
                if (!table.pfnOpenPort(name.data(), &port)) {
                    ADD_FAILURE() << "cannot open " << name;
                    continue;
                }
                if (table.pfnStartDocPort(port, kPrinterName, 1, 1, nullptr)) {
                    std::string job = "job " + std::to_string(t) + "." + std::to_string(i) + "\n";
                    DWORD written = 0;
                    EXPECT_TRUE(table.pfnWritePort(port, reinterpret_cast<LPBYTE>(job.data()),
                                                   static_cast<DWORD>(job.size()), &written));
                    EXPECT_EQ(written, job.size());
                    EXPECT_TRUE(table.pfnEndDocPort(port));
                    job.pop_back();
                    std::lock_guard guard(mutex);
                    printed[device].push_back(job);
                } else {
                    // Another printer on this port has its document started.
                    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
                }
                EXPECT_TRUE(table.pfnClosePort(port));
            }
            --running;
        });
    }
    go.arrive_and_wait();
    while (running > 0) {
        vtxsim::AdvanceTickCount(kWindow + 1);
        std::this_thread::yield();
    }
    for (std::thread& thread : threads)
        thread.join();

    for (size_t device = 0; device < serials.size(); ++device) {
        std::sort(printed[device].begin(), printed[device].end());
        EXPECT_FALSE(printed[device].empty());
        EXPECT_EQ(Lines(vtxsim::ReceivedData(serials[device])), printed[device])
            << "every job whole, on its own printer";
        EXPECT_FALSE(vtxsim::IsDeviceOpen(serials[device]));
    }
    Rebuild();
    EXPECT_EQ(vtxsim::LiveGlobalBlocks(), blocks) << "every record freed";
}

TEST_F(MonitorTest, ConcurrentDocumentStartsOnASharedRecordLetOnlyOneIn) {
    vtxsim::InstallPrinter(Printer("Draftaire K9", "AB12"));
    StartMonitor();
    constexpr int kPrinters = 8;
    HANDLE port = Open("USB/Draftaire K9/AB12");
    ASSERT_NE(port, nullptr);
    for (int holder = 1; holder < kPrinters; ++holder)
        ASSERT_EQ(Open("USB/Draftaire K9/AB12"), port);

    const MONITOR& table = Table();
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> started{0};
        std::atomic<int> busy{0};
        std::latch go(kPrinters);
        std::vector<std::thread> printers;
        for (int p = 0; p < kPrinters; ++p) {
            printers.emplace_back([&] {
                go.arrive_and_wait();
                if (table.pfnStartDocPort(port, kPrinterName, 1, 1, nullptr))
                    ++started;
                else if (GetLastError() == static_cast<DWORD>(ERROR_BUSY))
                    ++busy;
            });
        }
        for (std::thread& printer : printers)
            printer.join();
        EXPECT_EQ(started, 1) << "round " << round;
        EXPECT_EQ(busy, kPrinters - 1) << "round " << round;
        EXPECT_TRUE(vtxsim::IsDeviceOpen("AB12"));
        EXPECT_TRUE(table.pfnEndDocPort(port));
    }
    EXPECT_FALSE(vtxsim::IsDeviceOpen("AB12"));
    for (int holder = 0; holder < kPrinters; ++holder)
        EXPECT_TRUE(table.pfnClosePort(port));
}

} // namespace
} // namespace monitor_test
