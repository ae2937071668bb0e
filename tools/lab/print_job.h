// A print job as the Windows 9x spooler runs it through a port monitor: OpenPort,
// StartDocPort, WritePort in spooler-sized pieces, EndDocPort, ClosePort; a write that moves
// nothing is tried again, as the spooler does, until the printer takes data again.
#pragma once

#include "platform/sim/control/simctl.h"

#include <cstdint>
#include <functional>
#include <string>

namespace lab {

struct JobHooks {
    // A write moved nothing; reason is the monitor's ("out of paper", "not ready"...). Called
    // before each try again; it may change the printer.
    std::function<void(const std::string& reason)> onWait;
    std::function<void(std::uint64_t sent, std::uint64_t total)> onProgress;
    // Asked before each try again: a non-empty answer ends the job, as why it gave up.
    std::function<std::string()> giveUp;
};

struct JobResult {
    bool done = false;
    std::uint64_t sent = 0;
    std::string failure; // why the job ended early; empty when done
};

JobResult RunJob(vtxsim::MonitorHost& host, const std::string& port, const std::string& printer,
                 const std::string& data, unsigned chunk, const JobHooks& hooks);

// The monitor's reason for a write that moved nothing, in words.
std::string WaitReason(bool ok, unsigned long error);

// Why StartDocPort failed, in words.
std::string StartFailureWords(unsigned long error);

// The spooler with every registered instance of the monitor started; a library that does not
// load throws LabError.
void StartMonitor(vtxsim::MonitorHost& host);

} // namespace lab
