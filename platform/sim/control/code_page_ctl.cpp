#include "platform/sim/control/code_page_ctl.h"

#include "platform/sim/code_page_1252.h"

namespace vtxsim {

std::string Utf8From1252(std::string_view text) {
    return sim::Utf8From1252(text);
}

} // namespace vtxsim
