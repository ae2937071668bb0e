#include "common/bounded_text.h"

DWORD TextLength(LPCSTR text) {
    DWORD n = 0;
    if (text == NULL)
        return 0;
    while (text[n] != '\0')
        n++;
    return n;
}

DWORD TextLengthBounded(LPCSTR text, DWORD max) {
    DWORD n = 0;
    if (text == NULL)
        return 0;
    while (n < max && text[n] != '\0')
        n++;
    return n;
}

BOOL TextCopyCount(LPSTR dest, DWORD destSize, LPCSTR src, DWORD count) {
    DWORD n = TextLengthBounded(src, count);
    if (dest == NULL || n >= destSize)
        return FALSE;
    MemoryCopy(dest, src, n);
    dest[n] = '\0';
    return TRUE;
}

BOOL TextAppendCount(LPSTR dest, DWORD destSize, LPCSTR src, DWORD count) {
    if (dest == NULL)
        return FALSE;
    DWORD used = TextLengthBounded(dest, destSize);
    if (used >= destSize)
        return FALSE;
    return TextCopyCount(dest + used, destSize - used, src, count);
}

BOOL TextCopy(LPSTR dest, DWORD destSize, LPCSTR src) {
    return TextCopyCount(dest, destSize, src, TextLength(src));
}

BOOL TextAppend(LPSTR dest, DWORD destSize, LPCSTR src) {
    return TextAppendCount(dest, destSize, src, TextLength(src));
}

BOOL TextAppendCut(LPSTR dest, DWORD destSize, LPCSTR src) {
    if (dest == NULL || destSize == 0)
        return FALSE;
    DWORD used = TextLengthBounded(dest, destSize);
    if (used >= destSize) {
        dest[destSize - 1] = '\0';
        return FALSE;
    }
    DWORD room = destSize - 1 - used;
    DWORD n = TextLength(src);
    BOOL whole = n <= room;
    if (!whole)
        n = room;
    MemoryCopy(dest + used, src, n);
    dest[used + n] = '\0';
    return whole;
}

BOOL TextAppendUnsigned(LPSTR dest, DWORD destSize, DWORD value) {
    CHAR digits[12];
    DWORD pos = sizeof(digits) - 1;
    digits[pos] = '\0';
    do {
        digits[--pos] = (CHAR)('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return TextAppend(dest, destSize, digits + pos);
}

BOOL TextAppendDecimal(LPSTR dest, DWORD destSize, LONG value) {
    CHAR digits[13];
    DWORD magnitude = value < 0 ? (DWORD)0 - (DWORD)value : (DWORD)value;
    digits[0] = '\0';
    if (value < 0)
        TextCopy(digits, sizeof(digits), "-");
    if (!TextAppendUnsigned(digits, sizeof(digits), magnitude))
        return FALSE;
    return TextAppend(dest, destSize, digits);
}

DWORD TextSpan(LPCSTR text, LPCSTR set) {
    DWORD n = 0;
    if (text == NULL || set == NULL)
        return 0;
    while (text[n] != '\0' && TextFindChar(set, text[n]) != NULL)
        n++;
    return n;
}

LPCSTR TextFindChar(LPCSTR text, CHAR c) {
    if (text == NULL)
        return NULL;
    for (; *text != '\0'; text++) {
        if (*text == c)
            return text;
    }
    return NULL;
}

LPCSTR TextFind(LPCSTR text, LPCSTR part) {
    if (text == NULL || part == NULL)
        return NULL;
    for (;; text++) {
        DWORD i = 0;
        while (part[i] != '\0' && text[i] == part[i])
            i++;
        if (part[i] == '\0')
            return text;
        if (*text == '\0')
            return NULL;
    }
}

BOOL TextEqual(LPCSTR a, LPCSTR b) {
    if (a == NULL || b == NULL)
        return a == b;
    while (*a != '\0' && *a == *b) {
        a++;
        b++;
    }
    return *a == *b;
}

static CHAR FoldAscii(CHAR c) {
    return (c >= 'A' && c <= 'Z') ? (CHAR)(c - 'A' + 'a') : c;
}

BOOL TextEqualAsciiNoCase(LPCSTR a, LPCSTR b) {
    if (a == NULL || b == NULL)
        return a == b;
    while (*a != '\0' && FoldAscii(*a) == FoldAscii(*b)) {
        a++;
        b++;
    }
    return FoldAscii(*a) == FoldAscii(*b);
}

LONG TextToLong(LPCSTR text) {
    DWORD value = 0;
    BOOL negative = FALSE;
    if (text == NULL)
        return 0;
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        text++;
    if (*text == '-' || *text == '+') {
        negative = *text == '-';
        text++;
    }
    while (*text >= '0' && *text <= '9') {
        value = value * 10 + (DWORD)(*text - '0');
        text++;
    }
    return negative ? (LONG)((DWORD)0 - value) : (LONG)value;
}

void MemoryZero(void* dest, DWORD size) {
    volatile BYTE* p = (volatile BYTE*)dest;
    while (size-- > 0)
        *p++ = 0;
}

void MemoryCopy(void* dest, const void* src, DWORD size) {
    BYTE* d = (BYTE*)dest;
    const BYTE* s = (const BYTE*)src;
    while (size-- > 0)
        *d++ = *s++;
}
