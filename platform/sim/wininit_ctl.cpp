#include "platform/sim/control/wininit_ctl.h"

#include "platform/win32api.h"

namespace vtxsim {

std::vector<std::string> RenameEntries() {
    std::vector<char> buffer(65536, '\0');
    DWORD n = GetPrivateProfileSectionA("RENAME", buffer.data(), 65535, "wininit.ini");
    std::vector<std::string> entries;
    for (DWORD at = 0; at < n && buffer[at] != '\0';) {
        entries.emplace_back(buffer.data() + at);
        at += static_cast<DWORD>(entries.back().size()) + 1;
    }
    return entries;
}

} // namespace vtxsim
