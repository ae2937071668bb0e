// Replacing a file so that no reader, in this process or another, ever sees half of it: the
// bytes go to a temporary file beside the target, which a rename then puts in its place.
#pragma once

#include "platform/sim/machine_types.h"

#include <filesystem>
#include <string_view>

namespace sim {

// Writes bytes to path (the outcome: AtomicWrite, machine_types.h), whose directory must exist,
// through "<path>.tmp.<pid>". A temporary that could not be written is removed; one that could not
// be renamed is left for the caller to name in its message.
AtomicWrite WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace sim
