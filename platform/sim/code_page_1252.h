// Code page 1252, the ANSI code page of a Western Windows 98: what its registry holds as text.
// An export in UTF-16 (regedit's "Windows Registry Editor Version 5.00") is read into it, and
// tools that show registry text as Unicode read it out of it.
#pragma once

#include <string>
#include <string_view>

namespace sim {

// The Unicode code point of a code page 1252 byte; the five bytes 1252 leaves undefined map to
// the C1 controls of the same number, as Windows maps them.
char32_t UnicodeOf1252(unsigned char byte);
// The code page 1252 byte of a code point, or '?' (Windows' default character) when 1252 has
// none.
char CodePage1252Of(char32_t codePoint);

// UTF-16LE bytes (without a byte order mark) as code page 1252 text; a lone surrogate or a
// character outside 1252 becomes '?'. An odd last byte is dropped.
std::string CodePage1252FromUtf16(std::string_view utf16le);
// Code page 1252 text as UTF-8.
std::string Utf8From1252(std::string_view text);

} // namespace sim
