// KERNEL32 and USER32 text functions: lstrcmpiA, lstrlenA, wsprintfA.
#include "platform/sim/case_folding.h"
#include "platform/win32api.h"

#include <cstdarg>
#include <string>

namespace {

// wsprintf writes at most this many characters, its terminator included.
constexpr size_t WsprintfLimit = 1024;

struct Conversion {
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

// Pads body (after its sign or prefix) to the conversion's width.
std::string Pad(const Conversion& conv, std::string prefix, std::string body) {
    size_t length = prefix.size() + body.size();
    if (length >= conv.width)
        return prefix + body;
    std::string fill(conv.width - length, ' ');
    if (conv.left)
        return prefix + body + fill;
    if (conv.zero && conv.precision < 0) {
        fill.assign(fill.size(), '0');
        return prefix + fill + body;
    }
    return fill + prefix + body;
}

std::string FormatNumber(const Conversion& conv, va_list& args) {
    std::string prefix;
    std::string body;
    if (conv.conversion == 'd' || conv.conversion == 'i') {
        long long value = va_arg(args, int);
        if (value < 0)
            prefix = "-";
        body = Digits(value < 0 ? -value : value, 10, false);
    } else {
        unsigned value = va_arg(args, unsigned);
        bool hex = conv.conversion == 'x' || conv.conversion == 'X';
        body = Digits(value, hex ? 16 : 10, conv.conversion == 'X');
        if (hex && conv.alternate && value != 0)
            prefix = conv.conversion == 'X' ? "0X" : "0x";
    }
    if (conv.precision >= 0 && body.size() < static_cast<size_t>(conv.precision))
        body.insert(0, static_cast<size_t>(conv.precision) - body.size(), '0');
    return Pad(conv, prefix, body);
}

std::string FormatOne(const Conversion& conv, va_list& args) {
    switch (conv.conversion) {
    case 's': {
        const char* text = va_arg(args, const char*);
        std::string body = text == nullptr ? "(null)" : text;
        if (conv.precision >= 0 && body.size() > static_cast<size_t>(conv.precision))
            body.resize(static_cast<size_t>(conv.precision));
        Conversion noZero = conv;
        noZero.zero = false;
        return Pad(noZero, "", body);
    }
    case 'c': {
        Conversion noZero = conv;
        noZero.zero = false;
        return Pad(noZero, "", std::string(1, static_cast<char>(va_arg(args, int))));
    }
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X':
        return FormatNumber(conv, args);
    default:
        return {};
    }
}

// Reads the conversion after '%' at format[i]; returns the index after it. An unknown conversion
// character is copied as itself, as wsprintf does.
size_t ParseConversion(const char* format, size_t i, Conversion* conv) {
    for (;; i++) {
        if (format[i] == '-')
            conv->left = true;
        else if (format[i] == '0')
            conv->zero = true;
        else if (format[i] == '#')
            conv->alternate = true;
        else
            break;
    }
    while (format[i] >= '0' && format[i] <= '9')
        conv->width = conv->width * 10 + static_cast<size_t>(format[i++] - '0');
    if (conv->width > WsprintfLimit)
        conv->width = WsprintfLimit;
    if (format[i] == '.') {
        i++;
        conv->precision = 0;
        while (format[i] >= '0' && format[i] <= '9') {
            if (conv->precision < static_cast<int>(WsprintfLimit))
                conv->precision = conv->precision * 10 + (format[i] - '0');
            i++;
        }
    }
    // Size prefixes: LONG and int are both 32-bit, and strings are single-byte here.
    while (format[i] == 'l' || format[i] == 'h')
        i++;
    conv->conversion = format[i];
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
        Conversion conv;
        i = ParseConversion(format, i + 1, &conv);
        if (conv.conversion == '\0')
            break;
        if (conv.conversion == '%' ||
            std::string_view("sciduxX").find(conv.conversion) == std::string_view::npos)
            out += conv.conversion;
        else
            out += FormatOne(conv, args);
    }
    return out;
}

} // namespace

extern "C" {

// Windows compares with the system locale; this folds case as code page 1252 does and
// orders by character code. NULL compares as an empty text.
int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
    return sim::CompareText1252(lpString1, lpString2);
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
