// What explain says of a customer's registry: the description, as text or as one JSON document,
// section by section, and the problems found on the way, keyed as the customer's file spells the
// keys and values, with their lines there.
#pragma once

#include "tools/lab/collector_report.h"
#include "tools/lab/diagnosis.h"
#include "tools/lab/export_discovery.h"
#include "tools/lab/machine_view.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace lab {

struct Explanation {
    // Its first line and the document's "file"; places are where the file holds each key.
    Explanation(const std::filesystem::path& file, vtxsim::RegistryPlaces places);

    std::string text;
    nlohmann::json json;
    Problems problems;

    template <typename... Args> void Print(fmt::format_string<Args...> format, Args&&... args) {
        fmt::format_to(std::back_inserter(text), format, std::forward<Args>(args)...);
    }
};

// Where and when the collector ran; a report cut short is said so on stderr, since what it lacks
// reads as absent.
void ExplainReportHeader(const CollectorReport& report, Explanation& e);

// None of the maker's keys: no software of ours was ever installed on the machine.
bool NothingOfTheMaker(const std::vector<InterfaceView>& interfaces,
                       const std::vector<std::string>& instances);
// Says so, as text or as the document of any other machine with its lists empty; returns 0.
int ReportNothingOfTheMaker(Explanation& e, bool json);

// Each interface: its port, what EnumPorts and OpenPort make of it, a PortName the monitor
// writes. afterDiscovery is the interfaces as the discovery left them.
void ExplainInterfaces(const std::vector<InterfaceView>& original,
                       const std::vector<InterfaceView>& afterDiscovery, const Discovery& found,
                       Explanation& e);
// The ports the monitor lists with all interfaces there.
void ExplainPorts(const vtxsim::EnumPortsResult& ports, Explanation& e);
// The instances of vtxpmo01.dll and the spooler's printers with their ports.
void ExplainMonitorsAndPrinters(const std::vector<std::string>& instances,
                                const std::vector<PortOutcome>& outcomes, Explanation& e);

// The end: the problems after the text, or the whole JSON document with them.
void EndExplanation(Explanation& e, const std::filesystem::path& file, bool json);

} // namespace lab
