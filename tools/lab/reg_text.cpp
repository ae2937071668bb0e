#include "tools/lab/reg_text.h"

#include <algorithm>
#include <cctype>

namespace lab {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Where the value name of `"name"=data` ends (just after its closing quote).
size_t NameEnd(std::string_view line) {
    if (line.front() == '@')
        return 1;
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '\\')
            ++i;
        else if (line[i] == '"')
            return i + 1;
    }
    return line.size();
}

std::string Upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

bool IsForeignRoot(std::string_view section) {
    std::string_view name = section.substr(1);
    if (!name.empty() && name.front() == '-')
        name.remove_prefix(1);
    std::string root = Upper(name.substr(0, name.find_first_of("\\]")));
    return root == "HKEY_CURRENT_CONFIG" || root == "HKEY_DYN_DATA" || root == "HKCC";
}

} // namespace

std::vector<RegSection> ParseExport(std::string_view text) {
    std::vector<RegSection> sections;
    std::vector<std::string_view> lines = Lines(text);
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = Trim(lines[i]);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            inSection = line.size() > 2 && line[1] != '-';
            if (inSection)
                sections.push_back(
                    RegSection{std::string(line.substr(1, line.rfind(']') - 1)), {}});
            continue;
        }
        if (!inSection || (line.front() != '"' && line.front() != '@'))
            continue;
        size_t end = NameEnd(line);
        std::string name(line.substr(0, end));
        std::string data(Trim(line.substr(std::min(end + 1, line.size()))));
        while (!data.empty() && data.back() == '\\' && i + 1 < lines.size()) {
            data.pop_back();
            data += Trim(lines[++i]);
        }
        sections.back().values.emplace_back(std::move(name), std::move(data));
    }
    return sections;
}

std::string WithoutForeignRoots(std::string_view text, unsigned* skipped) {
    std::string out;
    bool skipping = false;
    *skipped = 0;
    for (std::string_view line : Lines(text)) {
        std::string_view trimmed = Trim(line);
        if (!trimmed.empty() && trimmed.front() == '[') {
            skipping = IsForeignRoot(trimmed);
            if (skipping)
                ++*skipped;
        }
        // Skipped lines stay as blank lines, so that errors name the line of the file.
        if (!skipping)
            out += line;
        out += '\n';
    }
    return out;
}

} // namespace lab
