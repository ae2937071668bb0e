#include "platform/sim/control/wininit_ctl.h"

#include "platform/sim/control/files_ctl.h"
#include "platform/sim/files.h"
#include "platform/sim/wininit.h"

namespace vtxsim {

std::vector<std::string> RenameEntries() {
    std::optional<std::string> text =
        GetFileContents(std::string(sim::WindowsDirectory) + "\\wininit.ini");
    return text ? sim::RenameSectionLines(*text) : std::vector<std::string>();
}

std::vector<std::vector<std::string>> RenameSectionsOf(std::string_view text) {
    return sim::RenameSections(text);
}

} // namespace vtxsim
