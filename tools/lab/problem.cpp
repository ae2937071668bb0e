#include "tools/lab/problem.h"
#include "tools/lab/export_lines.h"
#include "tools/lab/machine_view.h"

#include <algorithm>

namespace lab {
namespace {

struct CodeEntry {
    ProblemCode code;
    std::string_view name;
    std::string_view meaning;
};

const CodeEntry kCodes[] = {
    {ProblemCode::InterfaceWithoutValues, "interface-without-values",
     "a printer interface whose key has no values: the monitor names it once and never gives it "
     "a port"},
    {ProblemCode::InterfaceWithoutPort, "interface-without-port",
     "a printer interface whose values give it no port (no Enabled, an Enabled too long, nothing "
     "to name the port from)"},
    {ProblemCode::PortsMerge, "ports-merge",
     "two interfaces give one port name: one port, printing to the interface enumerated last"},
    {ProblemCode::EnumerationOrder, "enumeration-order",
     "the ports, or where one prints, depend on the order the registry enumerates subkeys"},
    {ProblemCode::PrinterPortDisabled, "printer-port-disabled",
     "a printer's port is given only by a disabled interface: OpenPort refuses it"},
    {ProblemCode::PortWithoutInterface, "port-without-interface",
     "a printer prints to a \"USB/\" port that no interface gives, and no interface of its "
     "serial is installed"},
    {ProblemCode::PrinterPortRenamed, "printer-port-renamed",
     "a printer's port names a serial whose interface is installed but gives another port name"},
    {ProblemCode::PrinterWithoutPort, "printer-without-port",
     "a printer of the spooler without a Port value"},
    {ProblemCode::PortNameMismatch, "port-name-mismatch",
     "an interface's PortName equals none of its model key's PortName<n>: the setup program is "
     "told another port"},
    {ProblemCode::ModelKeyMissing, "model-key-missing",
     "an installed printer whose model has no model key: the helper records error 2 and starts "
     "no setup program"},
    {ProblemCode::SetupValueMissing, "setup-value-missing",
     "a model key without SetupRootPath or SetupExecFile: error 2, no setup program"},
    {ProblemCode::SetupValueEmpty, "setup-value-empty",
     "a model key with an empty SetupRootPath or SetupExecFile: error 1008, no setup program"},
    {ProblemCode::SetupParametersMissing, "setup-parameters-missing",
     "a model key without SetupParameters: CmdLine starts without them (no \"-s\")"},
    {ProblemCode::ProductIdMissing, "product-id-missing",
     "a model key without ProductID: the removal of its printers deletes nothing"},
    {ProblemCode::HelperRecordedError, "helper-recorded-error",
     "a CmdLine whose \" -v dialog=\", \" -v error=\" or \" -v abort=\" records a failure of the "
     "helper"},
    {ProblemCode::RunOnceOverwritten, "runonce-overwritten",
     "RunOnce queues the setup of one printer only: the queued setup of another was overwritten"},
    {ProblemCode::CmdLineUnusable, "cmdline-unusable",
     "a CmdLine that lacks a piece the setup program needs (port, serial, result values)"},
    {ProblemCode::WrongValueType, "wrong-value-type",
     "a value the product reads has another type than the one it is written with; the product "
     "does not look at types and reads its bytes as they are"},
    {ProblemCode::MonitorInstanceWrongDriver, "monitor-instance-wrong-driver",
     "a monitor instance of one of the maker's printers whose Driver is not vtxpmo01.dll"},
    {ProblemCode::MonitorInstanceWithoutDevice, "monitor-instance-without-device",
     "a monitor instance of vtxpmo01.dll named by a serial whose device is gone"},
    {ProblemCode::NoMonitorInstance, "no-monitor-instance",
     "printer interfaces but no monitor instance of vtxpmo01.dll: the spooler lists none of "
     "their ports"},
    {ProblemCode::LeftoverOfRemovedPrinter, "leftover-of-removed-printer",
     "a key or value naming a printer that is no longer installed, with why it stays"},
};

const CodeEntry& EntryOf(ProblemCode code) {
    return *std::find_if(std::begin(kCodes), std::end(kCodes),
                         [&](const CodeEntry& e) { return e.code == code; });
}

} // namespace

std::string_view CodeName(ProblemCode code) {
    return EntryOf(code).name;
}

const std::vector<CodeMeaning>& AllCodes() {
    static const std::vector<CodeMeaning> all = [] {
        std::vector<CodeMeaning> list;
        for (const CodeEntry& e : kCodes)
            list.push_back({e.code, e.meaning});
        return list;
    }();
    return all;
}

void Problems::Add(ProblemCode code, std::string key, std::string value, std::string text,
                   std::string todo) {
    unsigned line = LineInExport(key, value);
    list_.push_back(
        {code, std::move(key), std::move(value), line, std::move(text), std::move(todo)});
}

bool Problems::Has(ProblemCode code, const std::string& key) const {
    return std::any_of(list_.begin(), list_.end(),
                       [&](const Problem& p) { return p.code == code && SameName(p.key, key); });
}

} // namespace lab
