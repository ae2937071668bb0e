// One problem of explain's diagnosis: a stable code for its kind, the key and value it concerns
// as the customer's file spells them, the line there, what is wrong and what to do.
#pragma once

#include "platform/sim/control/registry_ctl.h"

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

// key and value as the customer's file spells them. line is the value's line there, or its
// key's when the problem is about the key as a whole or the file lacks the value; 0 when the
// file lacks the key too (or key is not a registry key), and then key is the tool's spelling.
struct Problem {
    ProblemCode code;
    std::string key;   // the registry key it concerns (or what stands for one, "EnumPorts")
    std::string value; // the value's name, "" for the key as a whole
    unsigned line = 0;
    bool inFile = false; // the value, or the key when value is "", stands in the file
    std::string text;    // what is wrong
    std::string todo;    // what to do about it
};

class Problems {
  public:
    // Where the customer's file has each key and value: what Add looks the problems up in.
    void UsePlaces(vtxsim::RegistryPlaces places) { places_ = std::move(places); }
    void Add(ProblemCode code, std::string key, std::string value, std::string text,
             std::string todo);
    // A problem of the collector's report, whose reader knows the line.
    void AddAt(unsigned line, ProblemCode code, std::string key, std::string value,
               std::string text, std::string todo);
    const std::vector<Problem>& List() const { return list_; }
    bool Empty() const { return list_.empty(); }

  private:
    std::vector<Problem> list_;
    vtxsim::RegistryPlaces places_;
};

} // namespace lab
