#include "platform/sim/control/case_folding_ctl.h"

#include "platform/sim/case_folding.h"

namespace vtxsim {

std::string FoldAscii(std::string_view text) {
    return sim::FoldAscii(text);
}

bool SameAscii(std::string_view a, std::string_view b) {
    return sim::SameAscii(a, b);
}

bool StartsWithAscii(std::string_view text, std::string_view prefix) {
    return sim::StartsWithAscii(text, prefix);
}

} // namespace vtxsim
