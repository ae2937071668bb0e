// The monitor under every single platform failure of one whole print job: loading, listing the
// ports, and one document from OpenPort to ClosePort. Whatever fails, each operation gives a
// result the spooler can act on, nothing stays allocated or open once the ports are closed and
// the table cleared, and the printer gets only a leading part of the job.
#include "driver_install/printer_install.h"
#include "platform/sim/control/simctl.h"
#include "port_monitor/monitor.h"
#include "support/fault_sweep.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using vtxtest::FaultKind;
using vtxtest::FaultPoint;

constexpr DWORD kSettledTick = 1'000'000;
constexpr DWORD kWindow = 10'000;
const std::string kJob = "\x1b@first page\f" + std::string(300, 'x') + "\x1b@second page\f";
constexpr size_t kChunk = 128;

const std::vector<FaultKind> kMonitorCalls = {
    {"GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY},
    {"GlobalFree", ERROR_INVALID_HANDLE},
    {"GetVersionExA", ERROR_INVALID_PARAMETER},
    {"SetupDiGetClassDevsA", ERROR_NOT_ENOUGH_MEMORY},
    {"SetupDiEnumDeviceInterfaces", ERROR_GEN_FAILURE},
    {"SetupDiGetDeviceInterfaceDetailA", ERROR_GEN_FAILURE},
    {"SetupDiOpenDeviceInterfaceRegKey", ERROR_FILE_NOT_FOUND},
    {"SetupDiCreateDeviceInterfaceRegKeyA", ERROR_ACCESS_DENIED},
    {"SetupDiDestroyDeviceInfoList", ERROR_INVALID_HANDLE},
    {"RegQueryInfoKeyA", ERROR_ACCESS_DENIED},
    {"RegQueryValueExA", ERROR_ACCESS_DENIED},
    {"RegSetValueExA", ERROR_ACCESS_DENIED},
    {"RegCloseKey", ERROR_INVALID_HANDLE},
    {"CreateFileA", ERROR_SHARING_VIOLATION},
    {"WriteFile", ERROR_DEVICE_NOT_CONNECTED},
    {"DeviceIoControl", ERROR_GEN_FAILURE},
    {"CloseHandle", ERROR_INVALID_HANDLE},
};

// What one operation of the job gave back.
struct Outcome {
    std::string operation;
    BOOL result = FALSE;
    DWORD error = 0;
};

struct Baseline {
    unsigned blocks = 0;
    unsigned keys = 0;
    unsigned lists = 0;
};

// The monitor's port table is program-wide and outlives each machine: the table is cleared the
// way its own rebuild does it, under its lock.
void ClearTable() {
    EnterCriticalSection(&PortTableLock);
    ClearPortTable();
    LeaveCriticalSection(&PortTableLock);
}

BOOL SizeQuery(DWORD level) {
    DWORD needed = 0;
    DWORD returned = 0;
    return EnumPorts(nullptr, level, nullptr, 0, &needed, &returned);
}

class MonitorSweep {
  public:
    explicit MonitorSweep(vtxsim::WindowsVersion version) : version_(version) {}

    vtxtest::Scenario Scenario() {
        return {[this] { Prepare(); }, [this] { Run(); }};
    }

    // Settles the staleness clock on an empty machine, then plugs in the printer.
    void Prepare() {
        vtxsim::ResetMachine();
        vtxsim::ClearFailures();
        vtxsim::SetWindowsVersion(version_);
        MONITOR table{};
        std::string root = RegistryRoot();
        InitializeMonitorEx(root.data(), &table); // the locks, for the settling calls
        vtxsim::SetTickCount(kSettledTick - 2 * kWindow - 1);
        SizeQuery(1);
        vtxsim::SetTickCount(kSettledTick);
        SizeQuery(1); // rebuilt at kSettledTick: empty
        ClearTable();
        vtxsim::InstallPrinter(vtxsim::DraftaireK9("AB12"));
        baseline_ = {vtxsim::LiveGlobalBlocks(), vtxsim::OpenKeyHandleCount(),
                     vtxsim::OpenDeviceInfoListCount()};
        outcomes_.clear();
        // Stale at the size query: the job rebuilds the table there, and again at OpenPort.
        vtxsim::SetTickCount(kSettledTick + kWindow + 1);
    }

    void Run() {
        MONITOR table{};
        std::string root = RegistryRoot();
        Record("InitializeMonitorEx", InitializeMonitorEx(root.data(), &table));
        ListPorts();
        vtxsim::AdvanceTickCount(kWindow + 1);
        std::string name = vtxsim::PortNameOf(vtxsim::DraftaireK9("AB12"));
        port_ = reinterpret_cast<HANDLE>(1);
        HANDLE port = nullptr;
        BOOL opened = OpenPort(name.data(), &port);
        port_ = port;
        if (!Record("OpenPort", opened))
            return;
        std::string printer = "Draftaire K9";
        if (Record("StartDocPort", StartDocPort(port, printer.data(), 7, 1, nullptr))) {
            WriteJob(port);
            Record("EndDocPort", EndDocPort(port));
        }
        Record("ClosePort", ClosePort(port));
    }

    const std::vector<Outcome>& Outcomes() const { return outcomes_; }
    const Baseline& Base() const { return baseline_; }
    HANDLE PortHandle() const { return port_; }

  private:
    static std::string RegistryRoot() { return std::string(vtxsim::kMonitorsKeyPath) + "\\AB12"; }

    BOOL Record(const std::string& operation, BOOL result) {
        outcomes_.push_back({operation, result, GetLastError()});
        SetLastError(ERROR_SUCCESS);
        return result;
    }

    void ListPorts() {
        DWORD needed = 0;
        DWORD returned = 0;
        SetLastError(ERROR_SUCCESS);
        BOOL sized = EnumPorts(nullptr, 2, nullptr, 0, &needed, &returned);
        // With at least one port the size query fails with 122 by design.
        Record("EnumPorts size", sized || GetLastError() == ERROR_INSUFFICIENT_BUFFER);
        std::vector<BYTE> buffer(needed + 1);
        Record("EnumPorts fill", EnumPorts(nullptr, 2, buffer.data(), needed, &needed, &returned));
    }

    void WriteJob(HANDLE port) {
        for (size_t at = 0; at < kJob.size(); at += kChunk) {
            std::string piece = kJob.substr(at, kChunk);
            DWORD written = 0;
            BOOL ok = WritePort(port, reinterpret_cast<LPBYTE>(piece.data()),
                                static_cast<DWORD>(piece.size()), &written);
            Record("WritePort", ok);
            // The spooler gives up the job at a failed write; a slow one (TRUE, nothing
            // moved) it would retry, which this job does not.
            if (!ok || written != piece.size())
                return;
        }
    }

    vtxsim::WindowsVersion version_;
    Baseline baseline_;
    std::vector<Outcome> outcomes_;
    HANDLE port_ = nullptr;
};

void ExpectSoundOutcome(MonitorSweep& sweep, const FaultPoint& point) {
    SCOPED_TRACE(vtxtest::Describe(point));
    for (const Outcome& outcome : sweep.Outcomes()) {
        // A failure the spooler is told about carries its reason.
        // OpenPort's own refusal, a port that is not (or no longer) in the table, carries
        // none: FALSE with a NULL handle says it all.
        bool refusedPort = outcome.operation == "OpenPort" && sweep.PortHandle() == nullptr;
        if (!outcome.result && !refusedPort) {
            EXPECT_NE(outcome.error, 0u) << outcome.operation << " failed without a reason";
        }
    }
    ClearTable();
    EXPECT_EQ(OpenPortList, nullptr) << "a port record outlived its ClosePort";
    bool releaseFailed = vtxtest::ReleasesSomething(point.function);
    unsigned slack = releaseFailed ? 1 : 0;
    EXPECT_LE(vtxsim::LiveGlobalBlocks(), sweep.Base().blocks + slack) << "blocks leaked";
    EXPECT_LE(vtxsim::OpenKeyHandleCount(), sweep.Base().keys + slack) << "keys left open";
    EXPECT_LE(vtxsim::OpenDeviceInfoListCount(), sweep.Base().lists + slack)
        << "device info lists left open";
    if (point.function != "CloseHandle") {
        EXPECT_FALSE(vtxsim::IsDeviceOpen("AB12")) << "the printer stays open";
    }
    std::string received = vtxsim::ReceivedData("AB12");
    EXPECT_EQ(kJob.compare(0, received.size(), received), 0)
        << "the printer got more than a leading part of the job: " << received.size() << " bytes";
}

void Sweep(vtxsim::WindowsVersion version) {
    MonitorSweep sweep(version);
    vtxtest::Scenario scenario = sweep.Scenario();
    std::vector<FaultPoint> points = vtxtest::CountFaultPoints(scenario, kMonitorCalls);
    // The clean job itself: every operation succeeds and the whole job arrives.
    for (const Outcome& outcome : sweep.Outcomes()) {
        EXPECT_TRUE(outcome.result) << outcome.operation;
    }
    EXPECT_EQ(vtxsim::ReceivedData("AB12"), kJob);
    ExpectSoundOutcome(sweep, {"(none)", 0, 0});
    ::testing::Test::RecordProperty("runs", static_cast<int>(points.size()));
    ASSERT_GT(points.size(), 20u);
    ASSERT_LT(points.size(), 300u);

    for (const FaultPoint& point : points) {
        vtxtest::RunWithFault(scenario, point);
        ExpectSoundOutcome(sweep, point);
    }
}

// Windows ME makes every call of the Windows 98 job, and scans the devices again at the document
// start besides, where a known port is updated rather than added.
TEST(MonitorFaultSweep, EverySingleFailureOfAWindowsMeJobLeavesNothingBehind) {
    Sweep(vtxsim::WindowsVersion::WinMe);
}

} // namespace
