#include "tools/lab/removal.h"
#include "common/product_names.h"
#include "tools/lab/leftovers.h"
#include "tools/lab/helper_process.h"
#include "tools/lab/interrupt.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/shown_text.h"
#include "tools/lab/temp_dir.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <system_error>

namespace fs = std::filesystem;

namespace lab {
namespace {

bool PrinterExists(const std::string& instance) {
    for (const vtxsim::PrinterState& printer : vtxsim::SimulatedPrinters()) {
        if (SameName(printer.instance, instance))
            return true;
    }
    return false;
}

} // namespace

Changes RemovePrinter(const std::string& serial) {
    std::optional<DeviceView> device = DeviceOfSerial(serial);
    if (!device)
        throw LabError("no printer with serial " + Shown(serial) +
                       " on this machine (serials: " + KnownSerials() + ")");
    Snapshot before = TakeSnapshot();
    if (PrinterExists(device->instance))
        vtxsim::DetachPrinter(device->instance);
    RunHelperAction(64, device->model, device->serial);
    return Compare(before, TakeSnapshot());
}

Changes OnCopy(const std::function<void()>& step,
               const std::function<void(const Changes&)>& report) {
    fs::path original = vtxsim::MachineDirectory();
    TemporaryDir copy("vtxlab-copy");
    std::error_code ec;
    fs::copy(original, copy.Path(), fs::copy_options::recursive, ec);
    if (ec)
        throw LabError("cannot copy the machine to " + copy.Path().string() + ": " + ec.message());
    vtxsim::UseMachine(copy.Path());
    PauseForTest("dry-run");
    Snapshot before = TakeSnapshot();
    Changes changes;
    try {
        step();
        changes = Compare(before, TakeSnapshot());
        if (report)
            report(changes);
    } catch (...) {
        vtxsim::UseMachine(original);
        throw;
    }
    vtxsim::UseMachine(original);
    return changes;
}

void ReportRemoval(const Changes& c) {
    auto list = [](const std::string& title, const std::vector<std::string>& lines) {
        fmt::print("  {}: {}\n", title, lines.empty() ? "none" : std::to_string(lines.size()));
        for (const std::string& line : lines)
            fmt::print("    {}\n", line);
    };
    list("registry keys deleted", c.keysDeleted);
    if (!c.valuesDeleted.empty())
        list("registry values deleted", c.valuesDeleted);
    if (!c.keysCreated.empty() || !c.valuesSet.empty()) {
        list("registry keys created", c.keysCreated);
        list("registry values set", c.valuesSet);
    }
    list("files deleted now", c.filesDeleted);
    list("queued for deletion at the restart (wininit.ini [RENAME])", c.renamesAdded);
    if (!c.started.empty())
        list("programs started", c.started);
}

std::vector<Leftover> WhatStays(const DeviceView& device) {
    const std::string remainder = ModelRemainder(device.model);
    std::vector<Leftover> stays = LeftoversOf(device.serial, remainder);
    // The removal deletes only its own printer's CmdLine key; those of printers gone before stay
    // with nothing left to delete them once the model's last printer goes.
    const std::string cmdKeys = kHklm + SETUP_KEYS + remainder;
    if (!ModelHasPrinters(remainder))
        for (const std::string& serial : vtxsim::SubkeyNames(cmdKeys))
            if (!SameName(serial, device.serial) && !DeviceOfSerial(serial))
                stays.push_back({cmdKeys + "\\" + serial,
                                 "the setup program's CmdLine of printer " + Shown(serial),
                                 CmdLineKeptBecause(remainder)});
    if (vtxsim::FileExists(MONITOR_FILE))
        stays.push_back({MONITOR_FILE " and the keys the maker's printers share",
                         "the driver files, service and class keys",
                         "another printer of the same type or model is still installed"});
    return stays;
}

void ReportStays(const std::vector<Leftover>& stays) {
    fmt::print("  stays (the helper keeps it): {}\n",
               stays.empty() ? "nothing" : std::to_string(stays.size()));
    for (const Leftover& left : stays)
        fmt::print("    {}: {}, because {}\n", left.key, left.what, left.why);
}

nlohmann::json StaysJson(const std::vector<Leftover>& stays) {
    nlohmann::json list = nlohmann::json::array();
    for (const Leftover& left : stays)
        list.push_back({{"key", left.key}, {"what", left.what}, {"why", left.why}});
    return list;
}

} // namespace lab
