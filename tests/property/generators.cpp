#include "generators.h"

namespace property {
namespace {

const std::vector<int> kEdgeLengths = {253, 254, 255, 256, 257, 258, 259, 260, 261};

rc::Gen<int> Length(int min, int max) {
    std::vector<int> edges;
    for (int length : kEdgeLengths) {
        if (length >= min && length <= max)
            edges.push_back(length);
    }
    if (edges.empty())
        return rc::gen::inRange(min, max + 1);
    return rc::gen::oneOf(rc::gen::inRange(min, max + 1), rc::gen::elementOf(edges));
}

rc::Gen<std::string> TextOf(int min, int max, rc::Gen<char> characters) {
    return rc::gen::mapcat(Length(min, max), [characters](int length) {
        return rc::gen::container<std::string>(static_cast<std::size_t>(length), characters);
    });
}

} // namespace

rc::Gen<char> TextCharacter() {
    return rc::gen::oneOf(rc::gen::inRange<char>(' ', '\\'), rc::gen::inRange<char>(']', '\x7f'),
                          rc::gen::map(rc::gen::inRange(0x80, 0x100),
                                       [](int byte) { return static_cast<char>(byte); }));
}

rc::Gen<std::string> Text(int min, int max) {
    return TextOf(min, max, TextCharacter());
}

rc::Gen<std::string> Word(int min, int max) {
    return TextOf(min, max, rc::gen::suchThat(TextCharacter(), [](char c) { return c != ' '; }));
}

rc::Gen<vtxsim::RegistryValue> TextValue(int min, int max) {
    return rc::gen::apply(
        [](const std::string& text, int form) {
            vtxsim::RegistryValue value{REG_SZ, std::vector<BYTE>(text.begin(), text.end())};
            if (form == 0)
                value.data.push_back(0); // as a program stores it
            else if (form == 2)
                value.type = REG_BINARY;
            else if (form == 3)
                value.type = REG_DWORD;
            return value;
        },
        Text(min, max), rc::gen::weightedElement<int>({{6, 0}, {2, 1}, {1, 2}, {1, 3}}));
}

std::string Printable(const std::string& text) {
    static const char kDigits[] = "0123456789abcdef";
    std::string shown;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && c != '\\') {
            shown += c;
        } else {
            shown += "\\x";
            shown += kDigits[byte >> 4];
            shown += kDigits[byte & 0xf];
        }
    }
    return shown;
}

void ShowValue(const vtxsim::RegistryValue& value, std::ostream& os) {
    os << "type " << value.type << ", " << value.data.size() << " bytes: \""
       << Printable(std::string(value.data.begin(), value.data.end())) << "\"";
}

rc::Gen<std::string> ModelText(int maxRemainder) {
    return rc::gen::apply(
        [](bool family, const std::string& remainder) {
            return (family ? "Draftaire " : "") + remainder;
        },
        rc::gen::weightedElement<bool>({{4, true}, {1, false}}), Text(0, maxRemainder));
}

std::string FoldAscii(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

} // namespace property
