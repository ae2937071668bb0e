#include "tests/wine/platform_differences.h"

#include "platform/sim/control/case_folding_ctl.h"

#include <fstream>
#include <map>
#include <stdexcept>

// The file's rules, one a line after the comment lines of its reason:
//   mask s/<extended regex>/<replacement>/[g]   as sed -E writes them: \1 and & in the replacement
//   omit <extended regex>                       matched without regard to case
//   unterminated-text    interface-names
// The patterns are read as ECMAScript's, which has what they use of GNU's (\b, [[:blank:]]).

namespace winestate {

namespace {

// The fields of a compared line: key, value, data (the data is the rest of the line).
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (fields.size() < 2) {
        size_t tab = line.find('\t', start);
        if (tab == std::string::npos)
            break;
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

std::string Joined(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i)
        line += (i ? "\t" : "") + fields[i];
    return line;
}

// The replacement of a sed expression as a format of std::regex_replace.
std::string FormatOf(std::string_view replacement, char delimiter) {
    std::string format;
    for (size_t i = 0; i < replacement.size(); ++i) {
        char c = replacement[i];
        if (c == '\\' && i + 1 < replacement.size()) {
            char next = replacement[++i];
            if (next >= '0' && next <= '9')
                format += std::string("$") + next;
            else if (next == 'n')
                format += '\n';
            else if (next == '$')
                format += "$$";
            else
                format += next == delimiter || next == '&' || next == '\\' ? std::string(1, next)
                                                                           : std::string{c, next};
        } else if (c == '&') {
            format += "$&";
        } else if (c == '$') {
            format += "$$";
        } else {
            format += c;
        }
    }
    return format;
}

// The parts of "s/pattern/replacement/flags", split at the delimiters that are not escaped.
std::vector<std::string> SedParts(std::string_view expression) {
    std::vector<std::string> parts;
    if (expression.size() < 2 || expression[0] != 's')
        return parts;
    char delimiter = expression[1];
    std::string part;
    for (size_t i = 2; i < expression.size(); ++i) {
        char c = expression[i];
        if (c == '\\' && i + 1 < expression.size() && parts.size() < 2) {
            // An escaped delimiter in the pattern is the delimiter itself.
            char next = expression[++i];
            part +=
                next == delimiter && parts.empty() ? std::string(1, next) : std::string{c, next};
        } else if (c == delimiter && parts.size() < 2) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts.size() == 3 ? parts : std::vector<std::string>();
}

constexpr std::string_view kInterfacePattern =
    R"(^hkey_local_machine\\system\\currentcontrolset\\control\\deviceclasses\\\{[^}\\]*\}\\[^\\]+)";

// The interface key a key lies in (the key below the class's), or "".
std::string InterfaceOf(const std::string& key) {
    static const std::regex pattern{std::string(kInterfacePattern)};
    std::smatch match;
    return std::regex_search(key, match, pattern) ? match.str(0) : std::string();
}

// "<usb#vid_0d7a&pid_0042#ab12>": the device the interface's "DeviceInstance" names.
std::string DeviceName(const std::string& data) {
    std::string device = vtxsim::FoldAscii(data.substr(1, data.size() - 2));
    for (size_t at = device.find("\\\\"); at != std::string::npos; at = device.find("\\\\", at + 1))
        device.replace(at, 2, "#");
    return "<" + device + ">";
}

// Wine names a device interface key as Windows 2000 does, Windows 98 from a number of its own
// (platform_differences says more): each is named by its device, without "SymbolicLink", and a
// device path (vtxspool's "DevicePath=" line) by its class.
std::vector<std::string> InterfacesByInstance(std::vector<std::string> lines) {
    static const std::regex devicePath{R"(^DevicePath=.*#\{)"};
    std::map<std::string, std::string> named; // interface key -> device
    std::vector<std::string> kept;
    for (std::string& line : lines) {
        line = std::regex_replace(line, devicePath, "DevicePath=<interface>#{",
                                  std::regex_constants::format_first_only);
        std::vector<std::string> fields = Fields(line);
        std::string interface = InterfaceOf(fields[0]);
        bool atInterface = !interface.empty() && fields[0] == interface && fields.size() == 3;
        if (atInterface && fields[1] == "symboliclink")
            continue;
        const std::string& data = fields.back();
        if (atInterface && fields[1] == "deviceinstance" && data.size() >= 2 &&
            data.front() == '"' && data.back() == '"')
            named[interface] = DeviceName(data);
        kept.push_back(std::move(line));
    }
    for (std::string& line : kept) {
        std::string interface = InterfaceOf(Fields(line)[0]);
        auto device = named.find(interface);
        if (device == named.end())
            continue;
        size_t classEnd = interface.find("}\\") + 2;
        line = interface.substr(0, classEnd) + device->second + line.substr(interface.size());
    }
    return kept;
}

unsigned HexDigit(char c) {
    return c <= '9' ? static_cast<unsigned>(c - '0') : static_cast<unsigned>(c - 'a' + 10);
}

// A REG_SZ written without its terminator (hex(1) data without a 00 byte, nor a line break) as
// the text it holds, in the form of a terminated one.
std::string UnterminatedAsText(const std::string& line) {
    static const std::regex unterminated{R"(^hex\(1\):[0-9a-f]{2}(,[0-9a-f]{2})*$)"};
    static const std::regex stops{R"([:,](00|0a|0d)(,|$))"};
    std::vector<std::string> fields = Fields(line);
    if (fields.size() != 3 || !std::regex_match(fields[2], unterminated) ||
        std::regex_search(fields[2], stops))
        return line;
    std::string text = "\"";
    for (size_t at = 7; at + 1 < fields[2].size(); at += 3) {
        char c = static_cast<char>(HexDigit(fields[2][at]) * 16 + HexDigit(fields[2][at + 1]));
        if (c == '\\' || c == '"')
            text += '\\';
        text += c;
    }
    fields[2] = text + "\"";
    return Joined(fields);
}

} // namespace

PlatformDifferences::PlatformDifferences(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in)
        throw std::runtime_error(file.string() + ":0: cannot read the file");
    std::string line;
    for (unsigned number = 1; std::getline(in, line); ++number) {
        std::string where = file.string() + ":" + std::to_string(number) + ": ";
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#')
            continue;
        size_t end = line.find_first_of(" \t", start);
        std::string rule = line.substr(start, end - start);
        size_t argumentStart =
            line.find_first_not_of(" \t", end == std::string::npos ? start : end);
        std::string argument = end == std::string::npos || argumentStart == std::string::npos
                                   ? std::string()
                                   : line.substr(argumentStart);
        argument.erase(argument.find_last_not_of(" \t") + 1);
        try {
            if (rule == "omit" && !argument.empty()) {
                omits_.emplace_back(argument, std::regex::ECMAScript | std::regex::icase);
            } else if (rule == "mask") {
                std::vector<std::string> parts = SedParts(argument);
                if (parts.empty() || (parts[2] != "" && parts[2] != "g"))
                    throw std::runtime_error(where + "a mask is s/<regex>/<replacement>/[g]");
                masks_.push_back(Mask{std::regex(parts[0], std::regex::ECMAScript),
                                      FormatOf(parts[1], argument[1]), parts[2] == "g"});
            } else if (rule == "unterminated-text" && argument.empty()) {
                unterminatedText_ = true;
            } else if (rule == "interface-names" && argument.empty()) {
                interfaceNames_ = true;
            } else {
                throw std::runtime_error(where + "unknown rule [" + line.substr(start) + "]");
            }
        } catch (const std::regex_error& error) {
            throw std::runtime_error(where + "the pattern does not read: " + error.what());
        }
    }
}

std::vector<std::string> PlatformDifferences::Accept(std::vector<std::string> lines) const {
    std::erase_if(lines, [this](const std::string& line) {
        for (const std::regex& omit : omits_) {
            if (std::regex_search(line, omit))
                return true;
        }
        return false;
    });
    if (interfaceNames_)
        lines = InterfacesByInstance(std::move(lines));
    for (std::string& line : lines) {
        for (const Mask& mask : masks_)
            line = std::regex_replace(line, mask.pattern, mask.format,
                                      mask.global ? std::regex_constants::format_default
                                                  : std::regex_constants::format_first_only);
        if (unterminatedText_)
            line = UnterminatedAsText(line);
    }
    return lines;
}

} // namespace winestate
