#include "tools/lab/value_type_checks.h"
#include "tools/lab/leftovers.h"
#include "tools/lab/monitor_reading.h"
#include "tools/lab/shown_text.h"

#include "common/product_names.h"
#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

namespace lab {
namespace {

std::string TypeName(DWORD type) {
    switch (type) {
    case REG_NONE:
        return "REG_NONE";
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    default:
        return fmt::format("hex({:x})", type);
    }
}

std::string Rewrite(const std::string& name, DWORD expected) {
    return expected == REG_DWORD
               ? fmt::format("write {} again as a dword (\"{}\"=dword:00000001)", name, name)
               : fmt::format("write {} again as a string (\"{}\"=\"...\")", name, name);
}

// A text value written with another type: what its reader gets instead.
void TextValue(const std::string& key, const std::string& name, const std::string& reader,
               const std::string& consequence, Problems* problems) {
    std::optional<vtxsim::RegistryValue> raw = vtxsim::RawValue(key, name);
    if (!raw || raw->type == REG_SZ)
        return;
    std::string read = TextOf(*raw);
    std::string what =
        raw->type == REG_EXPAND_SZ
            ? fmt::format("{} reads \"{}\" as it stands, nothing expanded", reader, Shown(read))
            : fmt::format("{} reads its {} bytes up to the first zero as the text \"{}\"", reader,
                          raw->data.size(), Shown(read));
    problems->Add(
        ProblemCode::WrongValueType, key, name,
        fmt::format("{} is {}, not a string: {}{}", name, TypeName(raw->type), what, consequence),
        Rewrite(name, REG_SZ));
}

void InterfaceTypes(const InterfaceView& view, const PortOutcome& outcome, Problems* problems) {
    std::string named =
        outcome.port.empty() ? "" : fmt::format(", and names the port \"{}\"", Shown(outcome.port));
    for (const char* name : {"PortName", "SerialNumber", "Product"})
        TextValue(view.parametersKey, name, "the monitor", named, problems);
    if (!view.enabled || view.enabled->type == REG_DWORD)
        return;
    MonitorReading reading = ReadAsTheMonitor(view);
    std::string what = reading.usable
                           ? fmt::format("the monitor reads its bytes as the number {}: the port "
                                         "is {}",
                                         reading.enabled, reading.enabled ? "enabled" : "disabled")
                           : "the monitor cannot read it as a number and gives no port";
    problems->Add(ProblemCode::WrongValueType, view.parametersKey, "Enabled",
                  fmt::format("Enabled is {}, not a dword: {}", TypeName(view.enabled->type), what),
                  Rewrite("Enabled", REG_DWORD));
}

void ModelKeyTypes(Problems* problems) {
    for (const std::string& remainder : vtxsim::SubkeyNames(kHklm + MAKER_KEY MODEL_KEYS_NAME)) {
        std::string key = ModelKeyOf(remainder);
        TextValue(key, "SetupRootPath", "the helper",
                  ": the setup program is looked for in that directory", problems);
        TextValue(key, "SetupExecFile", "the helper",
                  ": the setup program's path ends in that name", problems);
        TextValue(key, "SetupParameters", "the helper", ": CmdLine starts with that text",
                  problems);
        TextValue(key, "ExecFile", "the helper", ": the helper copies the file of that name",
                  problems);
        TextValue(key, "ProductID", "the removal", ": the removal looks for that product id",
                  problems);
        for (const auto& [name, text] : NumberedPortNames(key))
            TextValue(key, name, "the helper", ": the setup program is told that port", problems);
    }
}

void SpoolerTypes(Problems* problems) {
    for (const std::string& printer : vtxsim::PrinterNames())
        TextValue(kHklm + vtxsim::kPrintersKeyPath + "\\" + printer, "Port",
                  "the helper's printer scan",
                  "; the spooler expects the port's name as a string there and the monitor "
                  "offers no port of this value",
                  problems);
    for (const std::string& name : vtxsim::MonitorNames())
        TextValue(kHklm + vtxsim::kMonitorsKeyPath + "\\" + name, "Driver", "the spooler",
                  " as the monitor's file", problems);
    TextValue(kRunOnceKey, RUN_ONCE_VALUE_NAME, "Windows at the next logon",
              " as the command to run", problems);
}

void CmdLineTypes(Problems* problems) {
    const std::string keys = kHklm + MAKER_KEY SETUP_KEYS_NAME;
    for (const std::string& remainder : vtxsim::SubkeyNames(keys))
        for (const std::string& serial : vtxsim::SubkeyNames(keys + "\\" + remainder))
            TextValue(keys + "\\" + remainder + "\\" + serial, "CmdLine", "the setup program",
                      " as its parameters", problems);
}

} // namespace

void CheckValueTypes(const std::vector<InterfaceView>& interfaces,
                     const std::vector<PortOutcome>& outcomes, Problems* problems) {
    for (size_t i = 0; i < interfaces.size(); ++i)
        InterfaceTypes(interfaces[i], outcomes[i], problems);
    ModelKeyTypes(problems);
    SpoolerTypes(problems);
    CmdLineTypes(problems);
}

} // namespace lab
