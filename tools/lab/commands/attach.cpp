// vtxlab attach: a printer plugged in after the maker's driver installation, and the real
// helper started as the device installer starts it.
#include "common/product_names.h"
#include "tools/lab/attach.h"
#include "tools/lab/command_options.h"
#include "tools/lab/commands.h"
#include "tools/lab/helper_process.h"
#include "tools/lab/json_output.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/leftovers.h"
#include "tools/lab/machine_dir.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/shown_text.h"
#include "tools/lab/snapshot.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <memory>
#include <optional>
#include <vector>

namespace lab {
namespace {

struct AttachOptions {
    std::filesystem::path machine;
    std::string model;
    std::string serial;
    std::string productId; // empty: the model's own
    bool json = false;
};

// A model that the helper would find no model key for is refused, unless its product id is
// given: the attach would otherwise make up a model and its setup values.
void CheckModelKnown(const std::string& model, const std::string& productId) {
    std::string remainder = ModelRemainder(model);
    if (remainder.empty())
        throw LabError("the model \"" + Shown(model) +
                       "\" names no model: nothing is left after \"Draftaire\" (known models: " +
                       KnownModels() + ")");
    if (ShippedModelOf(model) || !productId.empty() || vtxsim::KeyExists(ModelKeyOf(remainder)))
        return;
    throw LabError("model \"" + Shown(model) +
                   "\" has no model key on this machine (known models: " + KnownModels() +
                   "); --product-id attaches it anyway, as a new model");
}

// What the user may not have meant, said before the attach changes anything.
std::vector<std::string> WarningsBefore(const vtxsim::PrinterSpec& spec) {
    std::vector<std::string> warnings;
    if (std::optional<DeviceView> known = DeviceOfSerial(spec.serial))
        warnings.push_back(fmt::format("printer {} is attached already ({}): the driver "
                                       "installation and the helper run again",
                                       Shown(spec.serial), known->instance));
    if (!ShippedModelOf(spec.model) && !vtxsim::KeyExists(ModelKeyOf(ModelRemainder(spec.model))))
        warnings.push_back(fmt::format("model \"{}\" has no model key on this machine (known "
                                       "models: {}); it gets one as a Draftaire K9's",
                                       Shown(spec.model), KnownModels()));
    return warnings;
}

// The one RunOnce value holds the last printer's setup only.
std::optional<std::string> RunOnceWarning(const std::optional<std::string>& before,
                                          const std::string& serial) {
    std::optional<std::string> after = vtxsim::StringValue(kRunOnceKey, RUN_ONCE_VALUE_NAME);
    if (!before || before == after)
        return std::nullopt;
    std::optional<NamedSerial> other = SerialOfRunOnce(*before);
    if (!other || SameName(other->serial, serial))
        return std::nullopt;
    return fmt::format("RunOnce held the setup of printer {}; the helper overwrote it with {}'s: "
                       "only {}'s setup runs at the next logon",
                       Shown(other->serial), Shown(serial), Shown(serial));
}

nlohmann::json AttachJson(const vtxsim::PrinterSpec& spec, const std::string& commandLine,
                          const Changes& changes, const std::vector<std::string>& warnings) {
    std::string cmdKey = kHklm + SETUP_KEYS + ModelRemainder(spec.model) + "\\" + spec.serial;
    std::optional<std::string> cmdLine = vtxsim::StringValue(cmdKey, "CmdLine");
    std::optional<std::string> runOnce = vtxsim::StringValue(kRunOnceKey, RUN_ONCE_VALUE_NAME);
    auto orNull = [](const std::optional<std::string>& text) {
        return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
    };
    nlohmann::json doc = JsonDocument("attach");
    doc["model"] = spec.model;
    doc["serial"] = spec.serial;
    doc["productId"] = spec.productId;
    doc["devicePath"] = vtxsim::DevicePathOf(spec);
    doc["helperCommandLine"] = commandLine;
    std::string driver = vtxsim::MonitorDriver(spec.serial);
    doc["monitorInstance"] = driver.empty() ? nlohmann::json(nullptr) : nlohmann::json(spec.serial);
    doc["cmdLineKey"] = cmdKey;
    doc["cmdLine"] = orNull(cmdLine);
    doc["error"] = orNull(cmdLine ? ErrorOfCmdLine(*cmdLine) : std::nullopt);
    doc["started"] = changes.started;
    doc["runOnce"] = orNull(runOnce);
    doc["renamesAdded"] = changes.renamesAdded;
    doc["warnings"] = warnings;
    doc["changes"] = ChangesJson(changes);
    return doc;
}

int RunAttach(const AttachOptions& options) {
    vtxsim::PrinterSpec spec = SpecFor(options.model, options.serial, options.productId);
    OpenMachine(options.machine);
    CheckModelKnown(spec.model, options.productId);
    CommandLock lock(options.machine, "attach");
    if (std::optional<DeviceView> known = DeviceOfSerial(spec.serial);
        known && !SameName(known->model, spec.model))
        throw LabError("serial " + spec.serial + " is a " + Shown(known->model) +
                       " on this machine, not a " + spec.model);
    std::vector<std::string> warnings = WarningsBefore(spec);
    std::optional<std::string> runOnceBefore =
        vtxsim::StringValue(kRunOnceKey, RUN_ONCE_VALUE_NAME);
    Snapshot before = TakeSnapshot();
    if (!options.json) {
        fmt::print("attach {} {} ({})\n", spec.model, spec.serial, vtxsim::HardwareIdOf(spec));
        fmt::print("  the maker's driver installation: model key, device interface, Enum, class "
                   "and service keys, driver files\n");
        fmt::print("  plugged in: {}\n", vtxsim::DevicePathOf(spec));
    }
    PlugIn(spec);
    Snapshot plugged = TakeSnapshot();
    std::string commandLine = RunHelperAction(2, spec.model, spec.serial);
    Snapshot after = TakeSnapshot();
    SaveLastCommand(options.machine, "attach " + spec.serial, before, after);
    if (std::optional<std::string> overwritten = RunOnceWarning(runOnceBefore, spec.serial))
        warnings.push_back(*overwritten);
    for (const std::string& warning : warnings)
        fmt::print(stderr, "vtxlab attach: warning: {}\n", warning);
    if (options.json) {
        PrintJson(AttachJson(spec, commandLine, Compare(plugged, after), warnings));
        return 0;
    }
    fmt::print("  the device installer starts: {}\n", commandLine);
    ReportInstall(spec.model, spec.serial, Compare(plugged, after));
    fmt::print("  (vtxlab diff lists every change)\n");
    return 0;
}

} // namespace

void AddAttachCommand(CLI::App& app, ChosenCommand& chosen) {
    auto o = std::make_shared<AttachOptions>();
    CLI::App* c =
        app.add_subcommand("attach", "plug in a printer after the maker's driver installation");
    AddMachine(c, chosen);
    AddWait(c, chosen);
    c->add_option("--model", o->model, "the model, as \"Draftaire K9\"")->required();
    c->add_option("--serial", o->serial, "the serial number")->required();
    c->add_option("--product-id", o->productId, "USB product id, 4 hex digits");
    c->add_flag("--json", o->json, "as one JSON document");
    c->footer(ExitCodesFooter("0 attached (warnings on stderr); 1 refused (not a machine, a model "
                              "without a model key and no --product-id, the serial of another "
                              "model), nothing changed"));
    RunOnMachine(c, chosen, o, RunAttach);
}

} // namespace lab
