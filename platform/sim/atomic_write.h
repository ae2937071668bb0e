// Replacing a file so that no reader, in this process or another, ever sees half of it: the
// bytes go to a temporary file beside the target, which a rename then puts in its place.
#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

namespace sim {

struct AtomicWrite {
    enum class Step { Done, Writing, Replacing };
    Step failed = Step::Done;        // the step that failed, if any
    std::filesystem::path temporary; // the file the bytes went to first
    std::error_code error;           // why the rename failed (Step::Replacing)
};

// Writes bytes to path, whose directory must exist, through "<path>.tmp.<pid>". A temporary
// that could not be written is removed; one that could not be renamed is left for the caller
// to name in its message.
AtomicWrite WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace sim
