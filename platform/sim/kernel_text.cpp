// KERNEL32 and USER32 text functions: lstrcmpiA, lstrlenA, wsprintfA.
#include "platform/sim/kernel_text.h"
#include "platform/win32api.h"

#include <cstdarg>
#include <string>

namespace sim {

char FoldCase(char c) {
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

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    }
    return true;
}

} // namespace sim

namespace {

// wsprintf writes at most this many characters, its terminator included.
constexpr size_t WsprintfLimit = 1024;

struct Spec {
    bool left = false;
    bool zero = false;
    bool alternate = false;
    size_t width = 0;
    int precision = -1;
    char conversion = 0;
};

std::string Digits(unsigned long long value, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % base]);
        value /= base;
    } while (value != 0);
    return text;
}

// Pads body (after its sign or prefix) to the spec's width.
std::string Pad(const Spec& spec, std::string prefix, std::string body) {
    size_t length = prefix.size() + body.size();
    if (length >= spec.width)
        return prefix + body;
    std::string fill(spec.width - length, ' ');
    if (spec.left)
        return prefix + body + fill;
    if (spec.zero && spec.precision < 0) {
        fill.assign(fill.size(), '0');
        return prefix + fill + body;
    }
    return fill + prefix + body;
}

std::string FormatNumber(const Spec& spec, va_list& args) {
    std::string prefix;
    std::string body;
    if (spec.conversion == 'd' || spec.conversion == 'i') {
        long long value = va_arg(args, int);
        if (value < 0)
            prefix = "-";
        body = Digits(value < 0 ? -value : value, 10, false);
    } else {
        unsigned value = va_arg(args, unsigned);
        bool hex = spec.conversion == 'x' || spec.conversion == 'X';
        body = Digits(value, hex ? 16 : 10, spec.conversion == 'X');
        if (hex && spec.alternate && value != 0)
            prefix = spec.conversion == 'X' ? "0X" : "0x";
    }
    if (spec.precision >= 0 && body.size() < static_cast<size_t>(spec.precision))
        body.insert(0, static_cast<size_t>(spec.precision) - body.size(), '0');
    return Pad(spec, prefix, body);
}

std::string FormatOne(const Spec& spec, va_list& args) {
    switch (spec.conversion) {
    case 's': {
        const char* text = va_arg(args, const char*);
        std::string body = text == nullptr ? "(null)" : text;
        if (spec.precision >= 0 && body.size() > static_cast<size_t>(spec.precision))
            body.resize(static_cast<size_t>(spec.precision));
        Spec noZero = spec;
        noZero.zero = false;
        return Pad(noZero, "", body);
    }
    case 'c': {
        Spec noZero = spec;
        noZero.zero = false;
        return Pad(noZero, "", std::string(1, static_cast<char>(va_arg(args, int))));
    }
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X':
        return FormatNumber(spec, args);
    default:
        return {};
    }
}

// Reads the spec after '%' at format[i]; returns the index after it. An unknown conversion
// character is copied as itself, as wsprintf does.
size_t ParseSpec(const char* format, size_t i, Spec* spec) {
    for (;; i++) {
        if (format[i] == '-')
            spec->left = true;
        else if (format[i] == '0')
            spec->zero = true;
        else if (format[i] == '#')
            spec->alternate = true;
        else
            break;
    }
    while (format[i] >= '0' && format[i] <= '9')
        spec->width = spec->width * 10 + static_cast<size_t>(format[i++] - '0');
    if (spec->width > WsprintfLimit)
        spec->width = WsprintfLimit;
    if (format[i] == '.') {
        i++;
        spec->precision = 0;
        while (format[i] >= '0' && format[i] <= '9') {
            if (spec->precision < static_cast<int>(WsprintfLimit))
                spec->precision = spec->precision * 10 + (format[i] - '0');
            i++;
        }
    }
    // Size prefixes: LONG and int are both 32-bit, and strings are single-byte here.
    while (format[i] == 'l' || format[i] == 'h')
        i++;
    spec->conversion = format[i];
    return format[i] == '\0' ? i : i + 1;
}

std::string Format(const char* format, va_list& args) {
    std::string out;
    size_t i = 0;
    while (format[i] != '\0' && out.size() < WsprintfLimit) {
        if (format[i] != '%') {
            out += format[i++];
            continue;
        }
        Spec spec;
        i = ParseSpec(format, i + 1, &spec);
        if (spec.conversion == '\0')
            break;
        if (spec.conversion == '%' ||
            std::string_view("sciduxX").find(spec.conversion) == std::string_view::npos)
            out += spec.conversion;
        else
            out += FormatOne(spec, args);
    }
    return out;
}

} // namespace

extern "C" {

// Windows compares with the system locale; this folds case as code page 1252 does and
// orders by character code. NULL compares as an empty text.
int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
    const char* a = lpString1 == nullptr ? "" : lpString1;
    const char* b = lpString2 == nullptr ? "" : lpString2;
    for (;; a++, b++) {
        auto ca = static_cast<unsigned char>(sim::FoldCase(*a));
        auto cb = static_cast<unsigned char>(sim::FoldCase(*b));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

int WINAPI lstrlenA(LPCSTR lpString) {
    if (lpString == nullptr)
        return 0;
    int length = 0;
    while (lpString[length] != '\0')
        length++;
    return length;
}

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
    if (lpOut == nullptr || lpFmt == nullptr)
        return 0;
    va_list args;
    va_start(args, lpFmt);
    std::string text = Format(lpFmt, args);
    va_end(args);
    if (text.size() > WsprintfLimit - 1)
        text.resize(WsprintfLimit - 1);
    text.copy(lpOut, text.size());
    lpOut[text.size()] = '\0';
    return static_cast<int>(text.size());
}

} // extern "C"
