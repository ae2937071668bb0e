// The port monitor as the simulated spooler loads it, on a clean simulated machine. The
// spooler loads the library once per process, so its port table and staleness clock carry over
// from test to test: each test starts by settling the table at a known tick.
#pragma once

#include "driver_install/printer_install.h"
#include "platform/sim/control/simctl.h"
#include "support/markers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace monitor_test {

// Last-error and out-argument marker for "left untouched".
using vtxtest::kMarker;
constexpr DWORD kSettledTick = 1'000'000;
// Older than this the table is rebuilt at the next EnumPorts or OpenPort.
constexpr DWORD kWindow = 10'000;

// A printer of the maker's driver with the given "Product" and serial number.
vtxsim::PrinterSpec Printer(const std::string& product, const std::string& serial);
// The interface key where the driver keeps its values and the monitor its PortName.
std::string InterfaceKey(const vtxsim::PrinterSpec& spec);

class MonitorTest : public ::testing::Test {
  protected:
    void SetUp() override;

    // Registers monitor instances named by serial numbers, starts them in the host and settles
    // the table at kSettledTick.
    void StartMonitor(const std::vector<std::string>& instances = {"AB12"});
    // Rebuilds the table at tick, whatever the clock was: the next rebuild comes after
    // tick + kWindow.
    void SettleAt(DWORD tick);
    // Makes the table stale and rebuilds it through EnumPorts.
    void Rebuild();
    // Device scans so far: each full rebuild and each document start on Windows ME is one.
    static unsigned Scans();

    std::vector<std::string> PortNames() const;
    const MONITOR& Table() const { return host_.Table(); }
    // Opens a port through the operation table; the caller closes it.
    HANDLE Open(const std::string& name) const;
    BOOL Write(HANDLE port, const std::string& data, DWORD* written) const;

    vtxsim::MonitorHost host_;
};

} // namespace monitor_test
