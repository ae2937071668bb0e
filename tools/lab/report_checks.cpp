#include "tools/lab/report_checks.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/version_text.h"

#include "common/product_names.h"
#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <algorithm>

namespace lab {
namespace {

const char* const kSpoolerMonitors = "spooler: EnumMonitorsA";
const char* const kSpoolerPrinters = "spooler: EnumPrintersA";

// One line of the RENAME section, "<target>=<source>", and where it stands in the report.
struct RenameEntry {
    std::string target, source, text;
    unsigned line = 0;
};

// The report's line of each entry: the file's lines searched in order, each entry after the
// one before it, so that an entry given twice gets the line of each.
std::vector<RenameEntry> RenameEntriesOf(const CollectorReport& report) {
    std::vector<RenameEntry> entries;
    if (!report.wininit)
        return entries;
    vtxsim::PutFile(kWininit, *report.wininit);
    const std::string& text = *report.wininit;
    size_t last = 0, from = 0;
    unsigned newlines = 0;
    for (const std::string& entry : vtxsim::RenameEntries()) {
        size_t equals = entry.find('=');
        if (equals == std::string::npos)
            continue; // WININIT passes over it
        RenameEntry e{entry.substr(0, equals), entry.substr(equals + 1), entry, 0};
        if (size_t found = text.find(entry, from); found != std::string::npos) {
            newlines += static_cast<unsigned>(
                std::count(text.begin() + static_cast<std::ptrdiff_t>(last),
                           text.begin() + static_cast<std::ptrdiff_t>(found), '\n'));
            last = found;
            from = found + entry.size();
            e.line = report.wininitLine + newlines;
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

const ReportedFile* FileAt(const CollectorReport& report, const std::string& path,
                           std::string_view kind) {
    for (const ReportedFile& file : report.files)
        if (file.kind == kind && SameName(file.path, path))
            return &file;
    return nullptr;
}

// A copy the report found gone cannot put its target back; a source the collector does not
// look at (any but the helper's copies) is taken as there.
bool SourceThere(const CollectorReport& report, const std::string& source) {
    const ReportedFile* copy = FileAt(report, source, "queued-copy");
    return copy == nullptr || copy->present;
}

// WININIT's work on path: whether it is there after the restart, given whether it is now.
// Each entry in order: "NUL=path" deletes it, "path=source" moves the source over it.
bool ThereAfterRestart(const CollectorReport& report, const std::vector<RenameEntry>& entries,
                       const std::string& path, bool now, size_t from = 0) {
    bool there = now;
    for (size_t i = from; i < entries.size(); ++i) {
        if (SameName(entries[i].target, "NUL") && SameName(entries[i].source, path))
            there = false;
        else if (SameName(entries[i].target, path) && SourceThere(report, entries[i].source))
            there = true;
    }
    return there;
}

// The entry after `from` meant to put path back from a copy that is gone, if any.
const RenameEntry* LostPutBack(const CollectorReport& report,
                               const std::vector<RenameEntry>& entries, size_t from,
                               const std::string& path) {
    for (size_t i = from + 1; i < entries.size(); ++i)
        if (SameName(entries[i].target, path) && !SourceThere(report, entries[i].source))
            return &entries[i];
    return nullptr;
}

std::string InstalledSerials() {
    std::string serials;
    for (const DeviceView& device : MakerDevices())
        serials += (serials.empty() ? "" : ", ") + device.serial;
    return serials;
}

bool IsVmm32Library(const std::string& path) {
    return SameName(path, VXD_LIBRARY_FILE);
}

// Why the entry stands, where the report says it.
std::string WhyStillDeleted(const CollectorReport& report, const std::vector<RenameEntry>& entries,
                            size_t i) {
    const std::string& path = entries[i].source;
    if (const RenameEntry* lost = LostPutBack(report, entries, i, path))
        return fmt::format("the copy that was to put it back ({}) is gone", lost->source);
    if (IsVmm32Library(path))
        return "a removal queued it, and the printer was plugged back in before the restart: "
               "the previous helper left the entry standing";
    return "no later entry puts it back";
}

void CheckPendingDeletions(const CollectorReport& report, const std::vector<RenameEntry>& entries,
                           Problems* problems) {
    for (size_t i = 0; i < entries.size(); ++i) {
        const RenameEntry& entry = entries[i];
        const ReportedFile* file = FileAt(report, entry.source, "driver");
        if (!SameName(entry.target, "NUL") || file == nullptr || !file->present ||
            ThereAfterRestart(report, entries, entry.source, false, i + 1))
            continue;
        problems->AddAt(
            entry.line, ProblemCode::PendingDeletionOfNeededFile, kWininit, entry.text,
            fmt::format("the next restart deletes {}, which the installed printers ({}) need: {}",
                        entry.source, InstalledSerials(), WhyStillDeleted(report, entries, i)),
            fmt::format("delete the line \"{}\" from the RENAME section of {} before "
                        "restarting{}",
                        entry.text, kWininit,
                        IsVmm32Library(entry.source)
                            ? "; this release's helper takes it back when the printer is plugged in"
                            : ""));
    }
}

// The images this release builds carry its version; the driver's other files, its own.
bool ReleaseImage(const ReportedFile& file) {
    std::string name = file.path.substr(file.path.find_last_of('\\') + 1);
    return file.kind == "queued-copy" || SameName(name, MONITOR_FILE_NAME) ||
           SameName(name, HELPER_FILE_NAME);
}

void CheckDriverFiles(const CollectorReport& report, const std::vector<RenameEntry>& entries,
                      Problems* problems) {
    const std::string release = ReleaseFileVersion();
    for (const ReportedFile& file : report.files) {
        if (file.kind == "driver" && !file.present &&
            !ThereAfterRestart(report, entries, file.path, false)) {
            std::string why =
                file.error && *file.error != 2 && *file.error != 3
                    ? fmt::format(" (its attributes could not be read: error {})", *file.error)
                    : "";
            problems->AddAt(file.line, ProblemCode::DriverFileMissing, file.path, "",
                            fmt::format("a file of the driver is missing{} while printers of "
                                        "the maker are installed ({})",
                                        why, InstalledSerials()),
                            "install the driver again from this release (or copy the file from "
                            "it), then restart");
        } else if (file.present && !file.version.empty() && ReleaseImage(file) &&
                   file.version != release) {
            problems->AddAt(
                file.line, ProblemCode::DriverFileOtherVersion, file.path, "",
                fmt::format("an image of version {}, not this release's {}", file.version, release),
                "install the driver of this release, or explain the report with "
                "the vtxlab of the customer's release");
        }
    }
}

void CheckQueuedCopies(const CollectorReport& report, const std::vector<RenameEntry>& entries,
                       Problems* problems) {
    for (const ReportedFile& copy : report.files) {
        if (copy.kind != "queued-copy" || copy.present)
            continue;
        auto entry = std::find_if(entries.begin(), entries.end(), [&](const RenameEntry& e) {
            return SameName(e.source, copy.path);
        });
        if (entry == entries.end())
            continue; // the collector found it through the section; not there now
        const ReportedFile* target = FileAt(report, entry->target, "driver");
        bool lost = target != nullptr &&
                    !ThereAfterRestart(report, entries, entry->target, target->present);
        problems->AddAt(
            copy.line, ProblemCode::QueuedCopyGone, copy.path, "",
            fmt::format("wininit.ini queues this copy of the helper to replace {} at the next "
                        "restart, but it is gone: that rename does nothing{}",
                        entry->target,
                        lost ? fmt::format(", and {} is not there after the restart", entry->target)
                             : ""),
            fmt::format("delete the line \"{}\" from the RENAME section of {}{}", entry->text,
                        kWininit,
                        lost ? ", restart, and plug the printer in again so that the helper is "
                               "installed again"
                             : ""));
    }
}

// The instance's library missing from the system directory, when the report says so.
std::string WhyNotLoaded(const CollectorReport& report, const std::string& instance) {
    std::string driver = vtxsim::MonitorDriver(instance);
    std::string path = driver.find('\\') == std::string::npos
                           ? std::string("C:\\Windows\\System\\") + driver
                           : driver;
    const ReportedFile* file = FileAt(report, path, "driver");
    if (file != nullptr && !file->present)
        return fmt::format(": its Driver, {}, is missing from the system directory", path);
    return "; the report's files do not say why";
}

bool Listed(const std::vector<ReportedMonitor>& monitors, const std::string& name) {
    return std::any_of(monitors.begin(), monitors.end(),
                       [&](const ReportedMonitor& m) { return SameName(m.name, name); });
}

// The instances of vtxpmo01.dll in the registry that the spooler's list leaves out.
std::vector<std::string> NotLoaded(const CollectorReport& report,
                                   const std::vector<std::string>& ourInstances) {
    std::vector<std::string> missing;
    if (!report.monitors.seen || report.monitors.error)
        return missing;
    for (const std::string& name : ourInstances)
        if (!Listed(report.monitors.records, name))
            missing.push_back(name);
    return missing;
}

void CheckMonitors(const CollectorReport& report, const std::vector<std::string>& notLoaded,
                   Problems* problems) {
    for (const std::string& name : notLoaded)
        problems->AddAt(
            report.monitors.line, ProblemCode::MonitorNotLoaded, kSpoolerMonitors, name,
            fmt::format("the monitor instance \"{}\" ({}{}\\{}) is not in the spooler's list: it "
                        "was not loaded, and the spooler lists none of its ports{}",
                        name, kHklm, vtxsim::kMonitorsKeyPath, name, WhyNotLoaded(report, name)),
            "put the file back (install the driver again from this release), then restart");
}

void CheckPrinterPorts(const CollectorReport& report, const std::vector<std::string>& notLoaded,
                       Problems* problems) {
    if (!report.ports.seen || report.ports.error)
        return;
    for (const ReportedPrinter& printer : report.printers.records) {
        if (!printer.port.starts_with("USB/") ||
            std::any_of(report.ports.records.begin(), report.ports.records.end(),
                        [&](const ReportedPort& p) { return SameName(p.name, printer.port); }))
            continue;
        std::string serial = printer.port.substr(printer.port.find_last_of('/') + 1);
        bool instanceDown = std::any_of(notLoaded.begin(), notLoaded.end(),
                                        [&](const std::string& n) { return SameName(n, serial); });
        problems->AddAt(printer.line, ProblemCode::PrinterPortNotListed, kSpoolerPrinters,
                        printer.name,
                        fmt::format("the printer prints to \"{}\", a port the spooler does not "
                                    "list (EnumPortsA): its jobs are not printed{}",
                                    printer.port,
                                    instanceDown ? "; the monitor instance of that serial was "
                                                   "not loaded"
                                                 : ""),
                        instanceDown ? "mend the monitor instance (see its problem), then restart"
                                     : "plug the printer in again, or give the printer a port "
                                       "the spooler lists");
    }
}

} // namespace

void CheckReport(const CollectorReport& report, const std::vector<std::string>& ourInstances,
                 Problems* problems) {
    const std::vector<RenameEntry> entries = RenameEntriesOf(report);
    const bool printersInstalled = !MakerDevices().empty();
    if (printersInstalled && report.filesSeen) {
        CheckPendingDeletions(report, entries, problems);
        CheckDriverFiles(report, entries, problems);
    }
    if (report.filesSeen)
        CheckQueuedCopies(report, entries, problems);
    const std::vector<std::string> notLoaded = NotLoaded(report, ourInstances);
    CheckMonitors(report, notLoaded, problems);
    CheckPrinterPorts(report, notLoaded, problems);
}

} // namespace lab
