// Bounded text: the product's string module. Every write names its buffer's size; a text that
// does not fit is refused and the buffer left as it was, unless the function says it cuts.
#ifndef VTX_PLATFORM_BOUNDED_TEXT_H
#define VTX_PLATFORM_BOUNDED_TEXT_H

#include "platform/win32api.h"

// Length of a terminated text.
DWORD TextLength(LPCSTR text);
// Length of a text that may lack its terminator within max bytes; max when it does.
DWORD TextLengthBounded(LPCSTR text, DWORD max);

// Copy or append the whole of src; FALSE (destination unchanged) when it does not fit.
BOOL TextCopy(LPSTR dest, DWORD destSize, LPCSTR src);
BOOL TextAppend(LPSTR dest, DWORD destSize, LPCSTR src);
// Copy or append the first count characters of src (fewer when src ends first).
BOOL TextCopyCount(LPSTR dest, DWORD destSize, LPCSTR src, DWORD count);
BOOL TextAppendCount(LPSTR dest, DWORD destSize, LPCSTR src, DWORD count);
// Append as much of src as fits; FALSE when it had to cut.
BOOL TextAppendCut(LPSTR dest, DWORD destSize, LPCSTR src);
// Append a number in decimal: signed with a leading '-', or unsigned.
BOOL TextAppendDecimal(LPSTR dest, DWORD destSize, LONG value);
BOOL TextAppendUnsigned(LPSTR dest, DWORD destSize, DWORD value);

// Number of leading characters of text that occur in set (strspn).
DWORD TextSpan(LPCSTR text, LPCSTR set);
// First occurrence of part in text, case-sensitive; an empty part is found at the start.
LPCSTR TextFind(LPCSTR text, LPCSTR part);
// First occurrence of c in text, or NULL.
LPCSTR TextFindChar(LPCSTR text, CHAR c);
// Exact comparison.
BOOL TextEqual(LPCSTR a, LPCSTR b);
// Comparison with only the letters A-Z folded to a-z; every other byte compares exactly.
BOOL TextEqualAsciiNoCase(LPCSTR a, LPCSTR b);
// Decimal conversion like atol: leading white space, optional sign, digits; no digits give 0.
LONG TextToLong(LPCSTR text);

void MemoryZero(void* dest, DWORD size);
void MemoryCopy(void* dest, const void* src, DWORD size);

#endif // VTX_PLATFORM_BOUNDED_TEXT_H
