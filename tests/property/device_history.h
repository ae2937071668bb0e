// Random device histories on one simulated machine: printers attached, printing, out of paper,
// stalled, unplugged, disabled by their driver, removed, and the machine restarted, each step
// through the real helper and monitor and checked against a small model of what must be there.
// Every step shows itself as the vtxlab command that repeats it.
#pragma once

#include "loaded_monitor.h"
#include "machine_setup.h"

#include <rapidcheck.h>
#include <rapidcheck/state.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace property {

struct PrinterModel {
    std::string model; // "Draftaire K9", ...
    bool attached = true;
    bool enabled = true;
    bool paperOut = false;
    std::optional<std::uint64_t> accepts; // bytes the printer still takes; none: any
    bool portOpen = false;                // the history's spooler holds its port open
};

// What must be there after each step.
struct HistoryModel {
    std::map<std::string, PrinterModel> printers; // by serial: set up and not removed
    std::map<std::string, std::string> used;      // model by serial: attached at some time
};

// The machine the history runs on, with the monitor loaded and the ports it holds open.
struct HistoryMachine {
    explicit HistoryMachine(const MachineSetup& setup);
    // Lets go of the ports it holds, as the spooler does when it stops.
    ~HistoryMachine() { CloseAllPorts(); }
    void CloseAllPorts();
    HistoryMachine(const HistoryMachine&) = delete;
    HistoryMachine& operator=(const HistoryMachine&) = delete;
    bool fresh; // the machine is made before the monitor is loaded on it
    LoadedMonitor monitor;
    std::map<std::string, HANDLE> openPorts;
    std::vector<std::string> renameEntries; // the "RENAME" section after the last step
};

using HistoryCommand = rc::state::Command<HistoryModel, HistoryMachine>;

// A generator of the next step for a model.
rc::Gen<std::shared_ptr<const HistoryCommand>> NextStep(const HistoryModel& model);

// The vtxlab command that makes a machine like setup.
std::string NewMachineCommand(const MachineSetup& setup);

} // namespace property
