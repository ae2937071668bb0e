// The differences between Wine and Windows 98 that the Wine tests accept, as the file
// platform_differences beside this one lists them with their reasons: its rules, applied alike to
// the compared lines of both machines.
#pragma once

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace winestate {

class PlatformDifferences {
  public:
    // A rule it does not know, or a pattern that does not read, throws std::runtime_error
    // "<file>:<line>: <what>".
    explicit PlatformDifferences(const std::filesystem::path& file);

    // The lines less what the rules leave out, rewritten as they say, in their order: the omits,
    // the interface names, the masks in the file's order, the unterminated texts.
    std::vector<std::string> Accept(std::vector<std::string> lines) const;

  private:
    struct Mask {
        std::regex pattern;
        std::string format; // std::regex_replace's
        bool global = false;
    };

    std::vector<std::regex> omits_;
    std::vector<Mask> masks_;
    bool interfaceNames_ = false;
    bool unterminatedText_ = false;
};

} // namespace winestate
