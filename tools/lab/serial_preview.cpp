#include "tools/lab/serial_preview.h"
#include "tools/lab/attach.h"
#include "tools/lab/helper_process.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/removal.h"
#include "tools/lab/shown_text.h"
#include "tools/lab/snapshot.h"

#include "common/product_names.h"
#include "driver_install/printer_install.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <stdexcept>

namespace lab {

void ExplainSerial(const std::string& serial, Explanation& e, bool json) {
    const DeviceView device = *DeviceOfSerial(serial);
    // The customer's files are not in the export: the maker's files are taken as installed.
    std::string infPath = "OEM0.INF";
    std::string driver =
        vtxsim::StringValue(kHklm + "Enum\\" + device.instance, "driver").value_or("");
    if (!driver.empty())
        infPath =
            vtxsim::StringValue(kHklm + SERVICES_KEY "Class\\" + driver, "InfPath").value_or("");
    vtxsim::InstallDriverFiles(infPath);
    if (std::optional<std::string> setupRoot = vtxsim::StringValue(
            kHklm + MODEL_KEYS + ModelRemainder(device.model), "SetupRootPath")) {
        try {
            vtxsim::PutFile(*setupRoot + "\\launch.ini", "[Launch]\r\n");
            vtxsim::PutFile(*setupRoot + "\\..\\setup.exe", "MZ");
        } catch (const std::invalid_argument&) {
            // A drive the machine does not have: the setup is then not found, as there.
        }
    }
    if (!json)
        fmt::print("\nIf {} ({}) were attached now (helper with -action=2, on a copy; the maker's "
                   "files taken as installed):\n",
                   Shown(serial), Shown(device.model));
    Changes install = OnCopy([&] { RunHelperAction(2, device.model, device.serial); },
                             [&](const Changes& changes) {
                                 if (!json)
                                     ReportInstall(device.model, device.serial, changes);
                             });
    if (!json)
        fmt::print("\nIf {} were removed (helper with -action=64, on a copy, the same as detach "
                   "--dry-run):\n",
                   Shown(serial));
    std::vector<Leftover> stays;
    Changes removal = OnCopy([&] { RemovePrinter(device.serial); },
                             [&](const Changes&) { stays = WhatStays(device); });
    if (json) {
        e.json["attachPreview"] = {
            {"serial", device.serial}, {"model", device.model}, {"changes", ChangesJson(install)}};
        e.json["removalPreview"] = {{"serial", device.serial},
                                    {"changes", ChangesJson(removal)},
                                    {"stays", StaysJson(stays)}};
        return;
    }
    ReportRemoval(removal);
    ReportStays(stays);
}

} // namespace lab
