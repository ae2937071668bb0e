// The entry point, its operation table, the locks shared by every instance, and the staleness
// rule of the port table.
#include "driver_install/printer_install.h"
#include "monitor_fixture.h"

#include <dlfcn.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace monitor_test {
namespace {

// The entry of the library the host has loaded.
INITIALIZEMONITOREX LoadedEntry() {
    void* library =
        dlopen(vtxsim::MonitorLibraryPath("vtxpmo01.dll").c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(library, nullptr);
    void* entry = dlsym(library, "InitializeMonitorEx");
    INITIALIZEMONITOREX function = nullptr;
    std::memcpy(&function, &entry, sizeof(function));
    dlclose(library);
    return function;
}

TEST_F(MonitorTest, EntryRefusesAMissingRootAndFillsTheNineXTable) {
    StartMonitor();
    INITIALIZEMONITOREX entry = LoadedEntry();
    ASSERT_NE(entry, nullptr);

    MONITOR table;
    std::memset(&table, vtxtest::kByteMarker, sizeof(table));
    MONITOR untouched = table;
    char empty[] = "";
    char root[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\AB12";
    for (char* bad : {static_cast<char*>(nullptr), empty}) {
        SetLastError(kMarker);
        EXPECT_FALSE(entry(bad, &table));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(std::memcmp(&table, &untouched, sizeof(table)), 0);
    }
    SetLastError(kMarker);
    EXPECT_FALSE(entry(root, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    ASSERT_TRUE(entry(root, &table));
    const MONITOR& started = Table();
    EXPECT_EQ(table.pfnOpenPortEx, nullptr);
    EXPECT_EQ(table.pfnEnumPorts, started.pfnEnumPorts);
    EXPECT_EQ(table.pfnClosePort, started.pfnClosePort);
    void* slots[sizeof(MONITOR) / sizeof(void*)];
    static_assert(sizeof(slots) == sizeof(MONITOR) && sizeof(slots) / sizeof(void*) == 13);
    std::memcpy(slots, &table, sizeof(slots));
    for (unsigned slot = 0; slot < 13; ++slot) {
        if (slot != 2) {
            EXPECT_NE(slots[slot], nullptr) << "slot " << slot + 1;
        }
    }
}

TEST_F(MonitorTest, ConcurrentInstanceStartsInitialiseEachLockOnce) {
    vtxsim::InstallPrinter(Printer("Draftaire K9", "AB12"));
    StartMonitor({"AB12", "CD34", "EF56", "GH78"});
    unsigned reinitialised = vtxsim::CriticalSectionReinitialisations();

    // One spooler thread keeps the port table lock busy while the instances start again.
    std::atomic<bool> stop{false};
    std::thread enumerating([&] {
        while (!stop) {
            vtxsim::AdvanceTickCount(kWindow + 1);
            host_.EnumPorts(2);
        }
    });
    for (int round = 0; round < 25; ++round) {
        vtxsim::MonitorHost again;
        EXPECT_TRUE(again.StartInstances(true)) << again.Error();
        for (const vtxsim::MonitorInstance& instance : again.Instances())
            EXPECT_NE(instance.table.pfnEnumPorts, nullptr) << instance.name;
    }
    stop = true;
    enumerating.join();
    EXPECT_EQ(vtxsim::CriticalSectionReinitialisations(), reinitialised);
    EXPECT_EQ(PortNames(), std::vector<std::string>{"USB/Draftaire K9/AB12"});
}

TEST_F(MonitorTest, FirstEnumerationAfterALateLoadRebuildsAgain) {
    vtxsim::InstallPrinter(Printer("Draftaire K9", "AB12"));
    StartMonitor();
    // What a fresh load leaves: no stale-triggered rebuild yet.
    SettleAt(0);

    vtxsim::SetTickCount(kWindow + 1);
    unsigned scans = Scans();
    ASSERT_TRUE(host_.StartInstances());
    EXPECT_EQ(Scans(), scans + 1);
    EXPECT_EQ(PortNames().size(), 1u);
    EXPECT_EQ(Scans(), scans + 2);
    EXPECT_EQ(PortNames().size(), 1u);
    EXPECT_EQ(Scans(), scans + 2);

    // Up to 10 s after system start the initial build is the only one.
    SettleAt(0);
    vtxsim::SetTickCount(kWindow);
    scans = Scans();
    ASSERT_TRUE(host_.StartInstances());
    EXPECT_EQ(PortNames().size(), 1u);
    EXPECT_EQ(Scans(), scans + 1);
}

TEST_F(MonitorTest, TableIsRebuiltOnlyWhenOlderThanTenSecondsAcrossTheTickWrap) {
    vtxsim::PrinterSpec first = Printer("Draftaire K9", "AB12");
    vtxsim::PrinterSpec second = Printer("Draftaire K9", "CD34");
    vtxsim::InstallPrinter(first);
    StartMonitor();
    HANDLE open = Open(vtxsim::PortNameOf(first));
    ASSERT_NE(open, nullptr);

    vtxsim::InstallPrinter(second);
    vtxsim::AdvanceTickCount(kWindow);
    EXPECT_EQ(PortNames().size(), 1u) << "exactly 10000 ms is not stale";
    EXPECT_EQ(Open(vtxsim::PortNameOf(second)), nullptr);
    vtxsim::AdvanceTickCount(1);
    // An OpenPort of a port already open looks nothing up.
    unsigned scans = Scans();
    EXPECT_EQ(Open(vtxsim::PortNameOf(first)), open);
    EXPECT_EQ(Scans(), scans);
    HANDLE second_port = Open(vtxsim::PortNameOf(second));
    EXPECT_NE(second_port, nullptr) << "an OpenPort of a new port rebuilds a stale table";
    EXPECT_EQ(Scans(), scans + 1);

    SettleAt(0xFFFFFFFFu - 5000); // the last rebuild just below 2^32
    scans = Scans();
    vtxsim::SetTickCount(4999);
    EXPECT_EQ(PortNames().size(), 2u);
    EXPECT_EQ(Scans(), scans) << "10000 ms across the wrap";
    vtxsim::SetTickCount(5000);
    EXPECT_EQ(PortNames().size(), 2u);
    EXPECT_EQ(Scans(), scans + 1);

    Table().pfnClosePort(open);
    Table().pfnClosePort(open);
    Table().pfnClosePort(second_port);
}

} // namespace
} // namespace monitor_test
