#include "platform/sim/wininit.h"
#include "platform/sim/case_folding.h"

#include <iterator>

namespace sim {

std::string_view TrimIniBlanks(std::string_view text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::vector<std::vector<std::string>> RenameSections(std::string_view text) {
    std::vector<std::vector<std::string>> sections;
    bool inSection = false;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = TrimIniBlanks(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.starts_with('[')) {
            size_t close = line.find(']');
            inSection = close != std::string_view::npos &&
                        FoldAscii(TrimIniBlanks(line.substr(1, close - 1))) == "rename";
            if (inSection)
                sections.emplace_back();
        } else if (inSection && !line.empty()) {
            sections.back().emplace_back(line);
        }
    }
    return sections;
}

std::vector<std::string> RenameSectionLines(std::string_view text) {
    std::vector<std::string> lines;
    for (std::vector<std::string>& section : RenameSections(text))
        lines.insert(lines.end(), std::make_move_iterator(section.begin()),
                     std::make_move_iterator(section.end()));
    return lines;
}

} // namespace sim
