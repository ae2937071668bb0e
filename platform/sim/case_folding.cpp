#include "platform/sim/case_folding.h"

namespace sim {
namespace {

char LowerAsciiChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char UpperAsciiChar(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

template <class Fold> bool SameFolded(std::string_view a, std::string_view b, Fold fold) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

} // namespace

char Fold1252(char c) {
    auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7))
        return static_cast<char>(u + 0x20);
    switch (u) {
    case 0x8A: // S caron
    case 0x8C: // OE
    case 0x8E: // Z caron
        return static_cast<char>(u + 0x10);
    case 0x9F: // Y diaeresis
        return static_cast<char>(0xFF);
    default:
        return c;
    }
}

bool SameText1252(std::string_view a, std::string_view b) {
    return SameFolded(a, b, Fold1252);
}

int CompareText1252(const char* a, const char* b) {
    a = a == nullptr ? "" : a;
    b = b == nullptr ? "" : b;
    for (;; a++, b++) {
        auto ca = static_cast<unsigned char>(Fold1252(*a));
        auto cb = static_cast<unsigned char>(Fold1252(*b));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

std::string FoldAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = LowerAsciiChar(c);
    return out;
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = UpperAsciiChar(c);
    return out;
}

bool SameAscii(std::string_view a, std::string_view b) {
    return SameFolded(a, b, LowerAsciiChar);
}

bool StartsWithAscii(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameAscii(text.substr(0, prefix.size()), prefix);
}

} // namespace sim
