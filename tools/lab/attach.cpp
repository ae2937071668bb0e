// A printer plugged in after the maker's driver installation, and what the helper did then.
#include "common/product_names.h"
#include "driver_install/printer_install.h"
#include "tools/lab/attach.h"
#include "tools/lab/helper_codes.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/leftovers.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/shown_text.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <regex>

namespace lab {
namespace {

const char* const kShippedModels[] = {"Draftaire K9", "Draftaire K7"};

// The two models the maker ships; any other model gets a product id of its own from its name,
// so that two models never share a device key.
std::string ProductIdOf(const std::string& model) {
    std::optional<std::string> shipped = ShippedModelOf(model);
    if (shipped == "Draftaire K9")
        return "0042";
    if (shipped == "Draftaire K7")
        return "0041";
    unsigned hash = 0;
    for (unsigned char c : model)
        hash = hash * 31 + c;
    return fmt::format("{:04X}", 0x0100 + hash % 0xEE00);
}

void CheckText(const std::string& what, const std::string& text, const std::string& forbidden) {
    if (text.empty())
        throw LabError(what + " is empty");
    if (text.size() > 64)
        throw LabError(what + " \"" + Shown(text) + "\" is longer than 64 characters");
    for (unsigned char c : text) {
        if (c < 0x20 || c > 0x7e || forbidden.find(static_cast<char>(c)) != std::string::npos)
            throw LabError(fmt::format("{} \"{}\" holds the character '{}', which the device "
                                       "installer's command line cannot carry",
                                       what, Shown(text), Shown(std::string(1, char(c)))));
    }
}

std::string CodeWords(const std::string& code) {
    try {
        return MeaningOfHelperCode(std::stol(code));
    } catch (const std::exception&) {
        return "a platform error";
    }
}

} // namespace

std::optional<std::string> ShippedModelOf(const std::string& model) {
    std::string remainder = ModelRemainder(model);
    for (const char* shipped : kShippedModels) {
        if (!remainder.empty() && SameName(remainder, ModelRemainder(shipped)))
            return std::string(shipped);
    }
    return std::nullopt;
}

std::optional<std::string> ErrorOfCmdLine(const std::string& cmdLine) {
    std::smatch match;
    static const std::regex error(" -v error=(-?[0-9]+)");
    if (std::regex_search(cmdLine, match, error))
        return match[1].str();
    return std::nullopt;
}

std::string KnownModels() {
    std::string list;
    for (const char* model : kShippedModels)
        list += (list.empty() ? "" : ", ") + std::string(model);
    for (const std::string& remainder : vtxsim::SubkeyNames(kHklm + MAKER_KEY MODEL_KEYS_NAME)) {
        if (!ShippedModelOf("Draftaire " + remainder))
            list += ", Draftaire " + remainder;
    }
    return list;
}

vtxsim::PrinterSpec SpecFor(const std::string& model, const std::string& serial,
                            const std::string& productId) {
    CheckText("the model", model, "\\\"");
    CheckText("the serial", serial, " \\/\"#&");
    if (!productId.empty() && !std::regex_match(productId, std::regex("[0-9A-Fa-f]{4}")))
        throw LabError("the product id \"" + productId + "\" is not 4 hexadecimal digits");
    vtxsim::PrinterSpec spec = ShippedModelOf(model) == "Draftaire K7"
                                   ? vtxsim::DraftaireK7(serial)
                                   : vtxsim::DraftaireK9(serial);
    spec.model = model;
    spec.productId = productId.empty() ? ProductIdOf(model) : productId;
    std::transform(spec.productId.begin(), spec.productId.end(), spec.productId.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return spec;
}

std::string MonitorInstanceOf(const std::string& serial) {
    for (const std::string& name : vtxsim::MonitorNames()) {
        if (SameName(name, serial))
            return fmt::format("\"{}\" (driver {})", name, vtxsim::MonitorDriver(name));
    }
    return "(none)";
}

void PlugIn(const vtxsim::PrinterSpec& spec) {
    vtxsim::InstallPrinter(spec);
    // The maker's setup software: the marker that allows a direct start, and its two programs.
    if (!vtxsim::FileExists(spec.setupRootPath + "\\launch.ini"))
        vtxsim::PutFile(spec.setupRootPath + "\\launch.ini", "[Launch]\r\n");
    for (const std::string& program :
         {spec.setupRootPath + "\\..\\setup.exe", spec.setupRootPath + "\\" + spec.setupExecFile}) {
        if (!vtxsim::FileExists(program))
            vtxsim::PutFile(program, "MZ");
    }
}

void ReportInstall(const std::string& model, const std::string& serial, const Changes& changes) {
    std::string monitor = MonitorInstanceOf(serial);
    std::string cmdKey = kHklm + SETUP_KEYS + ModelRemainder(model) + "\\" + serial;
    std::optional<std::string> cmdLine = vtxsim::StringValue(cmdKey, "CmdLine");
    std::optional<std::string> code = cmdLine ? ErrorOfCmdLine(*cmdLine) : std::nullopt;
    // A deletion taken back is the one thing the helper does for a printer set up already.
    Changes setup = changes;
    setup.renamesDone.clear();
    for (const std::string& entry : changes.renamesDone)
        fmt::print("  wininit.ini [RENAME] taken back, the printer needs the file: {}\n", entry);
    if (setup.Empty()) {
        fmt::print("  the helper did nothing{}: a printer of the spooler already uses a port "
                   "naming {}\n",
                   changes.renamesDone.empty() ? "" : " else", serial);
        return;
    }
    bool added = std::any_of(
        changes.keysCreated.begin(), changes.keysCreated.end(), [&](const std::string& key) {
            return SameName(key, kHklm + vtxsim::kMonitorsKeyPath + "\\" + serial);
        });
    if (monitor != "(none)")
        fmt::print("  monitor instance {} {}\n", monitor,
                   added ? "registered with the spooler" : "was registered already");
    else
        fmt::print("  no monitor instance registered: error {} ({})\n", code.value_or("?"),
                   CodeWords(code.value_or("")));
    if (code && *code != "0" && monitor != "(none)")
        fmt::print("  the helper recorded error {} ({})\n", *code, CodeWords(*code));
    fmt::print("  CmdLine = {}\n            ({})\n",
               cmdLine ? "\"" + *cmdLine + "\"" : "(none: the setup settings are missing)", cmdKey);
    for (const std::string& start : changes.started)
        fmt::print("  started at once (the shell runs): {}\n", start);
    if (std::optional<std::string> runOnce = vtxsim::StringValue(kRunOnceKey, RUN_ONCE_VALUE_NAME);
        runOnce && changes.started.empty())
        fmt::print("  queued for the next logon: RunOnce = \"{}\"\n", *runOnce);
    if (changes.started.empty() && !vtxsim::StringValue(kRunOnceKey, RUN_ONCE_VALUE_NAME))
        fmt::print("  the setup program was neither started nor queued\n");
    for (const std::string& entry : changes.renamesAdded)
        fmt::print("  wininit.ini [RENAME] for the restart: {}\n", entry);
}

} // namespace lab
