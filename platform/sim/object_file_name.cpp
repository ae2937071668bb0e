#include "platform/sim/object_file_name.h"

namespace sim {
namespace {

bool IsAsciiLetterOrDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

std::string ObjectFileName(std::string_view name, std::string_view kept, char backslashAs) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char raw : name) {
        auto c = static_cast<unsigned char>(raw);
        if (c == '\\' && backslashAs != '\0') {
            out += backslashAs;
        } else if (IsAsciiLetterOrDigit(c) || kept.find(raw) != std::string_view::npos) {
            out += raw;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

} // namespace sim
