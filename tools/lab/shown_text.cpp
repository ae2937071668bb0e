#include "tools/lab/shown_text.h"

#include <fmt/format.h>

namespace lab {
namespace {

constexpr std::size_t kLongest = 64;
constexpr std::size_t kKept = 40;

std::string Escaped(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c > 0x7e || c == '\\')
            out += c == '\\' ? std::string("\\\\") : fmt::format("\\x{:02X}", c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

} // namespace

std::string Shown(const std::string& text) {
    if (text.size() <= kLongest)
        return Escaped(text);
    return Escaped(text.substr(0, kKept)) + fmt::format("... ({} characters)", text.size());
}

} // namespace lab
