#include "tests/wine/wine_registry_file.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

// Wine's registry files, as its wineserver writes them:
//   WINE REGISTRY Version 2            then ";;" comments and "#arch=win32"
//   [Software\\Kelvara] 1700000000     a key below the file's root, '\' written "\\"; the time
//   #time=1d9...                       a key's own settings, after a '#'
//   "Name"="text"  @="text"            REG_SZ; str(2):"..." REG_EXPAND_SZ, str(7):"..."
//   REG_MULTI_SZ "Number"=dword:00000001            "Bytes"=hex:01,02  "Other"=hex(4):..., wrapped
//   with '\'
// Names and texts are Unicode: characters below 32 written as C escapes or in octal, above 127
// as "\x" and up to four hex digits. The bytes of a value in hex are those stored: the UTF-16LE
// text of a string type. A key without values whose subkeys have some is left out.

namespace winestate {

namespace {

std::runtime_error Error(const std::string& source, unsigned line, const std::string& what) {
    return std::runtime_error(source + ":" + std::to_string(line) + ": " + what);
}

bool IsDigitOf(char c, unsigned base) {
    if (c >= '0' && c <= '7')
        return true;
    if (base == 8)
        return false;
    return (c >= '8' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned DigitValue(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    return static_cast<unsigned>((c | 0x20) - 'a' + 10);
}

// The code units that Wine's escaped text stands for.
std::u16string Unescape(std::string_view text) {
    static constexpr std::string_view kLetters = "abtnvfre";
    static constexpr char16_t kLetterCodes[] = {7, 8, 9, 10, 11, 12, 13, 27};
    std::u16string units;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c != '\\' || i + 1 == text.size()) {
            units += static_cast<char16_t>(c);
            continue;
        }
        c = static_cast<unsigned char>(text[++i]);
        if (size_t letter = kLetters.find(static_cast<char>(c)); letter != std::string_view::npos) {
            units += kLetterCodes[letter];
        } else if (IsDigitOf(static_cast<char>(c), 8) || c == 'x') {
            unsigned base = c == 'x' ? 16 : 8;
            unsigned places = c == 'x' ? 4 : 3;
            if (c == 'x')
                ++i;
            unsigned code = 0;
            for (; places > 0 && i < text.size() && IsDigitOf(text[i], base); --places, ++i)
                code = code * base + DigitValue(text[i]);
            --i;
            units += static_cast<char16_t>(code);
        } else {
            units += static_cast<char16_t>(c);
        }
    }
    return units;
}

// A name in the ANSI code page the registry's A functions give, near enough for names.
std::string NameBytes(std::string_view escaped) {
    std::string bytes;
    for (char16_t unit : Unescape(escaped))
        bytes += unit < 256 ? static_cast<char>(unit) : '?';
    return bytes;
}

std::string QuotedName(std::string_view escaped) {
    std::string quoted = "\"";
    for (char c : NameBytes(escaped)) {
        if (c == '\\' || c == '"')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// Where the text that starts after an opening mark ends: the first `close` not escaped.
size_t EndOfEscaped(std::string_view line, size_t start, char close) {
    for (size_t i = start; i < line.size(); ++i) {
        if (line[i] == '\\')
            ++i;
        else if (line[i] == close)
            return i;
    }
    return std::string_view::npos;
}

// A string's text with its terminator, as the hex data of a "Version 5.00" export.
std::string UnicodeHex(unsigned type, std::u16string units) {
    units += u'\0';
    char head[16];
    std::snprintf(head, sizeof head, "hex(%x):", type);
    std::string hex = head;
    char byte[4];
    for (size_t i = 0; i < units.size(); ++i) {
        std::snprintf(byte, sizeof byte, i ? ",%02x" : "%02x", units[i] & 0xff);
        hex += byte;
        std::snprintf(byte, sizeof byte, ",%02x", units[i] >> 8);
        hex += byte;
    }
    return hex;
}

class Converter {
  public:
    Converter(std::string_view file, const std::function<bool(std::string_view)>& wanted,
              const std::string& source)
        : file_(file), wanted_(wanted), source_(source) {}

    std::string Run() {
        std::string_view line;
        while (NextLine(&line)) {
            if (line.empty() || line.front() == '#' || line.front() == ';')
                continue;
            if (line.front() == '[')
                Section(line);
            else if (!started_)
                continue; // the file's header
            else if (wanting_)
                Value(line);
        }
        return out_;
    }

  private:
    bool NextLine(std::string_view* line) {
        if (at_ >= file_.size())
            return false;
        size_t end = file_.find('\n', at_);
        if (end == std::string_view::npos)
            end = file_.size();
        *line = file_.substr(at_, end - at_);
        at_ = end + 1;
        ++number_;
        if (!line->empty() && line->back() == '\r')
            line->remove_suffix(1);
        return true;
    }

    void Section(std::string_view line) {
        size_t close = EndOfEscaped(line, 1, ']');
        if (close == std::string_view::npos)
            throw Error(source_, number_, "a key line without its \"]\"");
        started_ = true;
        std::string key = NameBytes(line.substr(1, close - 1));
        wanting_ = wanted_(key);
        if (wanting_)
            out_ += "\n[HKEY_LOCAL_MACHINE\\" + key + "]\n";
    }

    void Value(std::string_view line) {
        std::string name = "@";
        size_t equals = 1;
        if (line.front() == '"') {
            size_t close = EndOfEscaped(line, 1, '"');
            if (close == std::string_view::npos)
                throw Error(source_, number_, "a value name without its closing quotation mark");
            name = QuotedName(line.substr(1, close - 1));
            equals = close + 1;
        } else if (line.front() != '@') {
            throw Error(source_, number_, "expected a key, a value or a '#' setting");
        }
        if (equals >= line.size() || line[equals] != '=')
            throw Error(source_, number_, "missing \"=\" after the value name");
        out_ += name + "=" + Data(line.substr(equals + 1)) + "\n";
    }

    std::string Data(std::string_view data) {
        unsigned type = 1;
        if (data.starts_with("str(")) {
            size_t close = data.find("):");
            if (close == std::string_view::npos)
                throw Error(source_, number_, "a str(...) type without its \"):\"");
            std::string_view digits = data.substr(4, close - 4);
            type = 0;
            for (char digit : digits) {
                if (!IsDigitOf(digit, 16) || digits.size() > 8)
                    throw Error(source_, number_, "a bad str(...) type");
                type = type * 16 + DigitValue(digit);
            }
            data.remove_prefix(close + 2);
        }
        if (data.starts_with('"')) {
            size_t close = EndOfEscaped(data, 1, '"');
            if (close == std::string_view::npos)
                throw Error(source_, number_, "a text without its closing quotation mark");
            return UnicodeHex(type, Unescape(data.substr(1, close - 1)));
        }
        if (data.starts_with("dword:"))
            return std::string(data);
        if (!data.starts_with("hex"))
            throw Error(source_, number_, "unknown value data \"" + std::string(data) + "\"");
        std::string hex(data);
        std::string_view more;
        while (!hex.empty() && hex.back() == '\\' && NextLine(&more)) {
            hex.pop_back();
            hex += more.substr(std::min(more.find_first_not_of(" \t"), more.size()));
        }
        return hex;
    }

    std::string_view file_;
    const std::function<bool(std::string_view)>& wanted_;
    const std::string& source_;
    size_t at_ = 0;
    unsigned number_ = 0;
    bool started_ = false;
    bool wanting_ = false;
    std::string out_ = "Windows Registry Editor Version 5.00\n";
};

} // namespace

std::string ExportFromWineRegistry(std::string_view file,
                                   const std::function<bool(std::string_view)>& wanted,
                                   const std::string& source) {
    return Converter(file, wanted, source).Run();
}

} // namespace winestate
