// The memory functions the compiler may call for copies, zero-fills and comparisons of
// structures: without a C runtime the images must bring their own. Built with
// -fno-builtin and -fno-tree-loop-distribute-patterns so that these loops are not turned back
// into calls to themselves.
#include <stddef.h>

extern "C" {

void* memset(void* dest, int value, size_t count) {
    unsigned char* d = static_cast<unsigned char*>(dest);
    while (count-- > 0)
        *d++ = static_cast<unsigned char>(value);
    return dest;
}

void* memcpy(void* dest, const void* src, size_t count) {
    unsigned char* d = static_cast<unsigned char*>(dest);
    const unsigned char* s = static_cast<const unsigned char*>(src);
    while (count-- > 0)
        *d++ = *s++;
    return dest;
}

void* memmove(void* dest, const void* src, size_t count) {
    unsigned char* d = static_cast<unsigned char*>(dest);
    const unsigned char* s = static_cast<const unsigned char*>(src);
    if (d < s) {
        while (count-- > 0)
            *d++ = *s++;
    } else {
        d += count;
        s += count;
        while (count-- > 0)
            *--d = *--s;
    }
    return dest;
}

int memcmp(const void* a, const void* b, size_t count) {
    const unsigned char* p = static_cast<const unsigned char*>(a);
    const unsigned char* q = static_cast<const unsigned char*>(b);
    for (; count > 0; count--, p++, q++) {
        if (*p != *q)
            return *p < *q ? -1 : 1;
    }
    return 0;
}

} // extern "C"
