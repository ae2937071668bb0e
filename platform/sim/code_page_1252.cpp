#include "platform/sim/code_page_1252.h"

#include <array>

namespace sim {
namespace {

// 0x80 to 0x9F; the rest of 1252 is Latin-1, the code point of the same number.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

char32_t UnicodeOf1252(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0)
        return kHighControls[byte - 0x80];
    return byte;
}

char CodePage1252Of(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<char>(codePoint);
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == codePoint)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

std::string CodePage1252FromUtf16(std::string_view utf16le) {
    std::string out;
    out.reserve(utf16le.size() / 2);
    for (size_t i = 0; i + 1 < utf16le.size(); i += 2) {
        char32_t unit = static_cast<unsigned char>(utf16le[i]) |
                        static_cast<char32_t>(static_cast<unsigned char>(utf16le[i + 1])) << 8;
        bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
        if (surrogate && unit <= 0xDBFF && i + 3 < utf16le.size()) {
            char32_t low = static_cast<unsigned char>(utf16le[i + 2]) |
                           static_cast<char32_t>(static_cast<unsigned char>(utf16le[i + 3])) << 8;
            if (low >= 0xDC00 && low <= 0xDFFF)
                i += 2; // one character outside 1252
        }
        out += surrogate ? '?' : CodePage1252Of(unit);
    }
    return out;
}

std::string Utf8From1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        AppendUtf8(out, UnicodeOf1252(static_cast<unsigned char>(c)));
    return out;
}

} // namespace sim
