#include "tools/lab/explain_order.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/monitor_reading.h"
#include "tools/lab/print_job.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace lab {
namespace {

struct Verdict {
    std::vector<std::string> ports; // what EnumPorts lists, sorted
    // Port name with A-Z folded -> the name as EnumPorts lists it, the device it prints to.
    std::map<std::string, std::pair<std::string, std::string>> printsTo;
};

Verdict VerdictIn(vtxsim::EnumerationOrder order) {
    vtxsim::SetEnumerationOrder(order);
    Verdict verdict;
    {
        vtxsim::MonitorHost host;
        StartMonitor(host);
        for (const vtxsim::PortInfo& port : host.EnumPorts(1).ports)
            verdict.ports.push_back(port.name);
    }
    std::sort(verdict.ports.begin(), verdict.ports.end());
    // Which interface each listed port prints to, from the monitor's own pass in this order.
    const std::vector<InterfaceView> interfaces = PrinterInterfaces();
    const MonitorPass pass;
    for (const std::string& port : verdict.ports) {
        if (std::optional<size_t> i = pass.PrintsTo(port, interfaces))
            verdict.printsTo[vtxsim::FoldAscii(port)] = {port, interfaces[*i].deviceInstance};
    }
    return verdict;
}

} // namespace

void CheckEnumerationOrder(Problems* problems) {
    const vtxsim::EnumerationOrder before = vtxsim::GetEnumerationOrder();
    const Verdict creation = VerdictIn(vtxsim::EnumerationOrder::Creation);
    const Verdict sorted = VerdictIn(vtxsim::EnumerationOrder::Sorted);
    vtxsim::SetEnumerationOrder(before);
    const std::string why = "this depends on the order in which the registry enumerates subkeys, "
                            "which Windows 98 does not promise (creation order here, sorted under "
                            "Wine)";
    const std::string todo = "give each interface a PortName of its own";
    if (creation.ports != sorted.ports)
        problems->Add(ProblemCode::EnumerationOrder, "EnumPorts", "",
                      fmt::format("the monitor lists {} ports in creation order, {} in sorted "
                                  "order: {}",
                                  creation.ports.size(), sorted.ports.size(), why),
                      todo);
    for (const auto& [folded, target] : creation.printsTo) {
        auto other = sorted.printsTo.find(folded);
        if (other != sorted.printsTo.end() && other->second.second != target.second)
            problems->Add(ProblemCode::EnumerationOrder, "port \"" + target.first + "\"", "",
                          fmt::format("port \"{}\" prints to {} in creation order, to {} in "
                                      "sorted order: {}",
                                      target.first, target.second, other->second.second, why),
                          todo);
    }
}

} // namespace lab
