#include "tools/lab/problem.h"

#include <algorithm>

namespace lab {
namespace {

// README lists each code with its meaning.
struct CodeEntry {
    ProblemCode code;
    std::string_view name;
};

const CodeEntry kCodes[] = {
    {ProblemCode::InterfaceWithoutValues, "interface-without-values"},
    {ProblemCode::InterfaceWithoutPort, "interface-without-port"},
    {ProblemCode::PortsMerge, "ports-merge"},
    {ProblemCode::EnumerationOrder, "enumeration-order"},
    {ProblemCode::PrinterPortDisabled, "printer-port-disabled"},
    {ProblemCode::PortWithoutInterface, "port-without-interface"},
    {ProblemCode::PrinterPortRenamed, "printer-port-renamed"},
    {ProblemCode::PrinterWithoutPort, "printer-without-port"},
    {ProblemCode::PortNameMismatch, "port-name-mismatch"},
    {ProblemCode::ModelKeyMissing, "model-key-missing"},
    {ProblemCode::SetupValueMissing, "setup-value-missing"},
    {ProblemCode::SetupValueEmpty, "setup-value-empty"},
    {ProblemCode::SetupParametersMissing, "setup-parameters-missing"},
    {ProblemCode::ProductIdMissing, "product-id-missing"},
    {ProblemCode::HelperRecordedError, "helper-recorded-error"},
    {ProblemCode::RunOnceOverwritten, "runonce-overwritten"},
    {ProblemCode::CmdLineUnusable, "cmdline-unusable"},
    {ProblemCode::WrongValueType, "wrong-value-type"},
    {ProblemCode::MonitorInstanceWrongDriver, "monitor-instance-wrong-driver"},
    {ProblemCode::MonitorInstanceWithoutDevice, "monitor-instance-without-device"},
    {ProblemCode::NoMonitorInstance, "no-monitor-instance"},
    {ProblemCode::LeftoverOfRemovedPrinter, "leftover-of-removed-printer"},
    {ProblemCode::SerialInsideAnotherPort, "serial-inside-another-port"},
    {ProblemCode::PendingDeletionOfNeededFile, "pending-deletion-of-needed-file"},
    {ProblemCode::DriverFileMissing, "driver-file-missing"},
    {ProblemCode::DriverFileOtherVersion, "driver-file-other-version"},
    {ProblemCode::QueuedCopyGone, "queued-copy-gone"},
    {ProblemCode::MonitorNotLoaded, "monitor-not-loaded"},
    {ProblemCode::PrinterPortNotListed, "printer-port-not-listed"},
};

const CodeEntry& EntryOf(ProblemCode code) {
    return *std::find_if(std::begin(kCodes), std::end(kCodes),
                         [&](const CodeEntry& e) { return e.code == code; });
}

} // namespace

std::string_view CodeName(ProblemCode code) {
    return EntryOf(code).name;
}

void Problems::Add(ProblemCode code, std::string key, std::string value, std::string text,
                   std::string todo) {
    Problem p{code, std::move(key), std::move(value), 0, false, std::move(text), std::move(todo)};
    if (std::optional<vtxsim::Regedit4Place> keyPlace = places_.Key(p.key)) {
        std::optional<vtxsim::Regedit4Place> valuePlace =
            p.value.empty() ? std::nullopt : places_.Value(p.key, p.value);
        p.inFile = p.value.empty() || valuePlace.has_value();
        p.line = valuePlace ? valuePlace->line : keyPlace->line;
        p.key = keyPlace->spelling;
        if (valuePlace)
            p.value = valuePlace->spelling;
    }
    list_.push_back(std::move(p));
}

void Problems::AddAt(unsigned line, ProblemCode code, std::string key, std::string value,
                     std::string text, std::string todo) {
    // The report's record stands at that line when the reader knew it.
    list_.push_back({code, std::move(key), std::move(value), line, line != 0, std::move(text),
                     std::move(todo)});
}

} // namespace lab
