#include "tools/lab/customer_export.h"
#include "tools/lab/interrupt.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/progress_line.h"
#include "tools/lab/user_files.h"

#include "platform/sim/control/simctl.h"

namespace lab {

ThrowAwayMachine::ThrowAwayMachine() : dir_("vtxlab-explain") {
    vtxsim::UseMachine(dir_.Path());
    PauseForTest("explain");
}

vtxsim::RegistryPlaces ImportTheExport(const std::filesystem::path& file,
                                       std::optional<CollectorReport>* report) {
    ForeignRegistry imported;
    try {
        ProgressTicker ticker("importing " + file.string());
        std::string text = ReadUserFile(file);
        if (IsCollectorReport(text)) {
            *report = ReadCollectorReport(text, file.string());
            imported = ImportForeignRegistryText((*report)->registry, file.string());
        } else {
            imported = ImportForeignRegistryText(text, file.string());
        }
    } catch (const LabError& error) {
        throw LabError(error.what(), 3);
    }
    if (!imported.places.HasRoot(vtxsim::RegRoot::LocalMachine))
        throw LabError(file.string() +
                           ": no HKEY_LOCAL_MACHINE in the export, which cannot then be a whole "
                           "Windows 98 machine; ask the customer for the whole registry as "
                           "regedit exports it (Registry, Export Registry File, All)",
                       3);
    return std::move(imported.places);
}

} // namespace lab
