// The result values the helper hands the setup program in CmdLine (" -v dialog=", " -v error=",
// " -v abort="), read back: what each code means and what to do about it.
#pragma once

#include <optional>
#include <string>

namespace lab {

struct HelperResult {
    long dialog = 0, error = 0, abort = 0;
};
// The three values of a CmdLine; none when one of them is missing.
std::optional<HelperResult> HelperResultOf(const std::string& cmdLine);

struct HelperCodeWords {
    std::string meaning; // "the spooler has a monitor of that name already"
    std::string todo;
};
// The words for a recorded result; dialog 2 tells a failed monitor registration, whose code is
// the spooler's.
HelperCodeWords WordsOfHelperResult(const HelperResult& result);
// The words for an error code alone, as attach reports it.
std::string MeaningOfHelperCode(long error);

} // namespace lab
