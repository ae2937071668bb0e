// One problem of explain's diagnosis: a stable code for its kind, the key and value it concerns
// as the customer's file spells them, the line there, what is wrong and what to do.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lab {

// The kinds of problem; their names are part of explain's JSON and stay as they are.
enum class ProblemCode {
    InterfaceWithoutValues,
    InterfaceWithoutPort,
    PortsMerge,
    EnumerationOrder,
    PrinterPortDisabled,
    PortWithoutInterface,
    PrinterPortRenamed,
    PrinterWithoutPort,
    PortNameMismatch,
    ModelKeyMissing,
    SetupValueMissing,
    SetupValueEmpty,
    SetupParametersMissing,
    ProductIdMissing,
    HelperRecordedError,
    RunOnceOverwritten,
    CmdLineUnusable,
    WrongValueType,
    MonitorInstanceWrongDriver,
    MonitorInstanceWithoutDevice,
    NoMonitorInstance,
    LeftoverOfRemovedPrinter,
    SerialInsideAnotherPort,
    // Of the field collector's report: its files and the spooler's lists.
    PendingDeletionOfNeededFile,
    DriverFileMissing,
    DriverFileOtherVersion,
    QueuedCopyGone,
    MonitorNotLoaded,
    PrinterPortNotListed,
};

// "port-without-interface", ...
std::string_view CodeName(ProblemCode code);

struct Problem {
    ProblemCode code;
    std::string key;   // the registry key it concerns (or what stands for one, "EnumPorts")
    std::string value; // the value's name, "" for the key as a whole
    unsigned line = 0; // in the customer's file; 0 when not known
    std::string text;  // what is wrong
    std::string todo;  // what to do about it
};

class Problems {
  public:
    void Add(ProblemCode code, std::string key, std::string value, std::string text,
             std::string todo);
    // A problem of the collector's report, whose reader knows the line.
    void AddAt(unsigned line, ProblemCode code, std::string key, std::string value,
               std::string text, std::string todo);
    const std::vector<Problem>& List() const { return list_; }
    bool Empty() const { return list_.empty(); }

  private:
    std::vector<Problem> list_;
};

} // namespace lab
