#include "driver_install/printer_install.h"
#include "device_history.h"

#include "generators.h"
#include "maker_printers.h"
#include "platform/sim/control/wininit_ctl.h"

#include <algorithm>

namespace property {
namespace {

const std::vector<std::string> kSerials = {"S1", "S2", "S3", "S4", "S5", "S6", "S7", "S8"};
const std::string kJob(3000, 'j');
const std::string kLibrary = "C:\\Windows\\System\\VMM32\\vtxvxu01.dll";
const std::string kLibraryDeletion = "NUL=" + kLibrary;

void ClosePortOf(HistoryMachine& machine, const std::string& serial) {
    auto open = machine.openPorts.find(serial);
    if (open == machine.openPorts.end())
        return;
    machine.monitor.Table().pfnClosePort(open->second);
    machine.openPorts.erase(open);
}

// What holds after every step, whatever it was.
void CheckMachine(const HistoryModel& model, HistoryMachine& machine) {
    std::set<std::string> instances = {"property"};
    for (const auto& [serial, printer] : model.printers)
        instances.insert(serial);
    std::vector<std::string> names = vtxsim::MonitorNames();
    RC_ASSERT(std::set<std::string>(names.begin(), names.end()) == instances);
    for (const auto& [serial, kind] : model.used) {
        bool present = model.printers.count(serial) == 1u;
        RC_ASSERT(vtxsim::KeyExists(vtxsim::InterfaceKeyOf(MakerPrinter(serial, kind))) == present);
    }
    for (const std::string& kind : MakerModels()) {
        bool left = std::any_of(model.printers.begin(), model.printers.end(),
                                [&](const auto& p) { return p.second.model == kind; });
        if (!left)
            RC_ASSERT(!vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTXIO\\" +
                                         vtxsim::ModelRemainder(kind)));
    }
    // Until the restart carries it out, no earlier entry of the section is lost, but for the
    // library's deletion, which a printer set up takes back: while one is, none stands.
    std::vector<std::string> entries = vtxsim::RenameEntries();
    std::vector<std::string> kept = machine.renameEntries;
    if (!model.printers.empty())
        std::erase(kept, kLibraryDeletion);
    RC_ASSERT(entries.size() >= kept.size());
    RC_ASSERT(std::equal(kept.begin(), kept.end(), entries.begin()));
    if (!model.printers.empty())
        RC_ASSERT(std::count(entries.begin(), entries.end(), kLibraryDeletion) == 0);
    machine.renameEntries = entries;
    // One name, one entry: every printer of a history has a name of its own.
    std::vector<std::string> listed = machine.monitor.PortNames();
    std::sort(listed.begin(), listed.end());
    RC_ASSERT(std::adjacent_find(listed.begin(), listed.end()) == listed.end());
}

struct Attach : HistoryCommand {
    std::string serial, model;
    explicit Attach(const HistoryModel& m)
        : serial(*rc::gen::elementOf(kSerials)), model(*rc::gen::elementOf(MakerModels())) {
        (void)m;
    }
    void checkPreconditions(const HistoryModel& m) const override {
        RC_PRE(m.used.count(serial) == 0u);
    }
    void apply(HistoryModel& m) const override {
        PrinterModel printer;
        printer.model = model;
        m.printers[serial] = printer;
        m.used[serial] = model;
    }
    void run(const HistoryModel& m, HistoryMachine& machine) const override {
        vtxsim::InstallPrinter(MakerPrinter(serial, model));
        RunHelper(2, model, serial);
        HistoryModel after = m;
        apply(after);
        CheckMachine(after, machine);
    }
    void show(std::ostream& os) const override {
        os << "vtxlab attach --model \"" << model << "\" --serial " << serial << " --product-id "
           << MakerPrinter(serial, model).productId;
    }
};

// A step on one of the printers set up now.
struct PrinterStep : HistoryCommand {
    std::string serial, model;
    explicit PrinterStep(const HistoryModel& m) {
        RC_PRE(!m.printers.empty());
        std::vector<std::string> serials;
        for (const auto& [s, printer] : m.printers)
            serials.push_back(s);
        serial = *rc::gen::elementOf(serials);
        model = m.printers.at(serial).model;
    }
    void checkPreconditions(const HistoryModel& m) const override {
        RC_PRE(m.printers.count(serial) == 1u);
    }
    const PrinterModel& Printer(const HistoryModel& m) const { return m.printers.at(serial); }
    void Check(const HistoryModel& m, HistoryMachine& machine) const {
        HistoryModel after = m;
        apply(after);
        CheckMachine(after, machine);
    }
};

struct Detach : PrinterStep {
    using PrinterStep::PrinterStep;
    void apply(HistoryModel& m) const override { m.printers.erase(serial); }
    void run(const HistoryModel& m, HistoryMachine& machine) const override {
        ClosePortOf(machine, serial);
        vtxsim::DetachPrinter(serial);
        RunHelper(64, Printer(m).model, serial);
        Check(m, machine);
    }
    void show(std::ostream& os) const override { os << "vtxlab detach --serial " << serial; }
};

// A job from StartDocPort to EndDocPort on the port, opened first when the history's spooler
// does not hold it open yet. On Windows ME each document start scans the devices again.
struct Print : PrinterStep {
    using PrinterStep::PrinterStep;
    void checkPreconditions(const HistoryModel& m) const override {
        PrinterStep::checkPreconditions(m);
        RC_PRE(Printer(m).enabled);
    }
    void apply(HistoryModel& m) const override {
        PrinterModel& p = m.printers.at(serial);
        p.portOpen = true;
        if (p.attached && p.accepts)
            *p.accepts -= std::min<std::uint64_t>(*p.accepts, kJob.size());
    }
    void run(const HistoryModel& m, HistoryMachine& machine) const override {
        const PrinterModel& p = Printer(m);
        if (!p.portOpen) {
            // A port not open yet is looked up in a table rebuilt when stale.
            vtxsim::AdvanceTickCount(kStaleWindow + 1);
            std::string name = MakerPortName(serial, p.model);
            HANDLE port = nullptr;
            RC_ASSERT(machine.monitor.Table().pfnOpenPort(name.data(), &port));
            machine.openPorts[serial] = port;
        }
        const MONITOR& table = machine.monitor.Table();
        HANDLE port = machine.openPorts.at(serial);
        std::string printer = "printer " + serial;
        std::string bytes = kJob;
        const std::size_t before = p.attached ? vtxsim::ReceivedData(serial).size() : 0;
        DWORD written = 0;
        bool started = table.pfnStartDocPort(port, printer.data(), 1, 1, nullptr) != FALSE;
        // A slow printer takes the job in part or not at all: the spooler would write again.
        bool wrote = started &&
                     table.pfnWritePort(port, reinterpret_cast<LPBYTE>(bytes.data()),
                                        static_cast<DWORD>(bytes.size()), &written) != FALSE &&
                     written == bytes.size();
        if (started)
            table.pfnEndDocPort(port);
        const bool whole = p.attached && (!p.accepts || *p.accepts >= kJob.size());
        RC_ASSERT(started == p.attached);
        RC_ASSERT(wrote == whole);
        if (whole)
            RC_ASSERT(vtxsim::ReceivedData(serial).substr(before) == kJob);
        Check(m, machine);
    }
    void show(std::ostream& os) const override {
        os << "vtxlab print --port \"" << MakerPortName(serial, model)
           << "\" job.txt   # 3000 bytes";
    }
};

struct Paper : PrinterStep {
    bool out = *rc::gen::arbitrary<bool>();
    using PrinterStep::PrinterStep;
    void apply(HistoryModel& m) const override {
        PrinterModel& p = m.printers.at(serial);
        p.paperOut = out;
        if (out)
            p.accepts = 0;
        else
            p.accepts.reset();
    }
    void run(const HistoryModel& m, HistoryMachine& machine) const override {
        std::uint8_t status = vtxsim::kDefaultStatus | (out ? vtxsim::kPaperEmpty : 0);
        vtxsim::SetStatusByte(serial, status);
        if (out)
            vtxsim::SetStall(serial, 0);
        else
            vtxsim::ClearStall(serial);
        Check(m, machine);
    }
    void show(std::ostream& os) const override {
        os << "vtxlab device --serial " << serial << " --paper " << (out ? "out" : "in");
    }
};

struct Stall : PrinterStep {
    std::uint64_t accepts = *rc::gen::inRange<std::uint64_t>(0, 10000);
    using PrinterStep::PrinterStep;
    void apply(HistoryModel& m) const override { m.printers.at(serial).accepts = accepts; }
    void run(const HistoryModel& m, HistoryMachine& machine) const override {
        vtxsim::SetStall(serial, accepts);
        Check(m, machine);
    }
    void show(std::ostream& os) const override {
        os << "vtxlab device --serial " << serial << " --stall " << accepts;
    }
};

struct Cable : PrinterStep {
    bool plugged = *rc::gen::arbitrary<bool>();
    using PrinterStep::PrinterStep;
    void apply(HistoryModel& m) const override {
        PrinterModel& p = m.printers.at(serial);
        p.attached = plugged;
        // Unplugging resets the printer's stall, though not a lack of paper.
        if (!plugged && !p.paperOut)
            p.accepts.reset();
    }
    void run(const HistoryModel& m, HistoryMachine& machine) const override {
        if (plugged)
            vtxsim::AttachPrinter(serial);
        else
            vtxsim::DetachPrinter(serial);
        Check(m, machine);
    }
    void show(std::ostream& os) const override {
        os << "vtxlab device --serial " << serial << (plugged ? " --plug" : " --unplug");
    }
};

// The driver turns the interface off or on; the history's spooler lets go of its port first.
struct Enabled : PrinterStep {
    bool on = *rc::gen::arbitrary<bool>();
    using PrinterStep::PrinterStep;
    void apply(HistoryModel& m) const override {
        m.printers.at(serial).enabled = on;
        m.printers.at(serial).portOpen = false;
    }
    void run(const HistoryModel& m, HistoryMachine& machine) const override {
        ClosePortOf(machine, serial);
        vtxsim::SetDwordValue(
            vtxsim::InterfaceParametersKeyOf(MakerPrinter(serial, Printer(m).model)), "Enabled",
            on ? 1 : 0);
        Check(m, machine);
    }
    void show(std::ostream& os) const override {
        os << "# no vtxlab command: the driver sets \"Enabled\"=" << (on ? 1 : 0) << " on "
           << serial << "'s interface key";
    }
};

// The machine restarts: the RENAME section is carried out, and the spooler, started again,
// lists every set-up printer's port once.
struct Restart : HistoryCommand {
    explicit Restart(const HistoryModel&) {}
    void apply(HistoryModel& m) const override {
        for (auto& [serial, printer] : m.printers)
            printer.portOpen = false;
    }
    void run(const HistoryModel& m, HistoryMachine& machine) const override {
        // Each "NUL=" entry deletes its file, unless a later entry moves another one there.
        std::set<std::string> deleted;
        for (const std::string& entry : machine.renameEntries) {
            std::size_t equals = entry.find('=');
            std::string key = entry.substr(0, equals), value = entry.substr(equals + 1);
            if (key == "NUL")
                deleted.insert(value);
            else
                deleted.erase(key);
        }
        machine.CloseAllPorts();
        for (const vtxsim::RestartStep& step : vtxsim::RestartMachine())
            RC_LOG() << "  restart: " << vtxsim::Describe(step) << "\n";
        for (const std::string& path : deleted)
            RC_ASSERT(!vtxsim::FileExists(path));
        // The printers set up keep their driver's library.
        RC_ASSERT(m.printers.empty() || vtxsim::FileExists(kLibrary));
        machine.renameEntries.clear();
        machine.monitor.Rebuild();
        std::vector<std::string> expected;
        for (const auto& [serial, printer] : m.printers)
            expected.push_back(MakerPortName(serial, printer.model));
        std::sort(expected.begin(), expected.end());
        std::vector<std::string> listed = machine.monitor.PortNames();
        std::sort(listed.begin(), listed.end());
        RC_ASSERT(listed == expected);
        HistoryModel after = m;
        apply(after);
        CheckMachine(after, machine);
    }
    void show(std::ostream& os) const override { os << "vtxlab restart"; }
};

} // namespace

HistoryMachine::HistoryMachine(const MachineSetup& setup)
    : fresh((FreshMachine(setup, kTick), true)) {}

void HistoryMachine::CloseAllPorts() {
    for (const auto& [serial, port] : openPorts)
        monitor.Table().pfnClosePort(port);
    openPorts.clear();
}

rc::Gen<std::shared_ptr<const HistoryCommand>> NextStep(const HistoryModel& model) {
    return rc::state::gen::execOneOfWithArgs<Attach, Attach, Detach, Print, Print, Print, Paper,
                                             Stall, Cable, Enabled, Restart>()(model);
}

std::string NewMachineCommand(const MachineSetup& setup) {
    std::string version = setup.version == vtxsim::WindowsVersion::WinMe ? "me" : "98";
    return "vtxlab new --version " + version + (setup.shellRunning ? "" : " --no-shell") +
           (setup.order == vtxsim::EnumerationOrder::Sorted ? " --order sorted" : "");
}

} // namespace property
