#include "tools/lab/text_1252.h"

namespace lab {
namespace {

// 0x80-0x9F of code page 1252; the unassigned ones (0x81, 0x8D, 0x8F, 0x90, 0x9D) as themselves.
const char32_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

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

std::string Utf8From1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text)
        AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : char32_t(c));
    return out;
}

nlohmann::json JsonFrom1252(const nlohmann::json& document) {
    if (document.is_string())
        return Utf8From1252(document.get_ref<const std::string&>());
    if (document.is_array()) {
        nlohmann::json out = nlohmann::json::array();
        for (const nlohmann::json& item : document)
            out.push_back(JsonFrom1252(item));
        return out;
    }
    if (document.is_object()) {
        nlohmann::json out = nlohmann::json::object();
        for (const auto& [name, item] : document.items())
            out[Utf8From1252(name)] = JsonFrom1252(item);
        return out;
    }
    return document;
}

} // namespace lab
