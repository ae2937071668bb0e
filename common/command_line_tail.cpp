#include "common/command_line_tail.h"

LPSTR CommandLineTail(LPSTR text) {
    if (*text == '"') {
        text++;
        while (*text != '\0' && *text != '"')
            text++;
        if (*text == '"')
            text++;
    } else {
        while (static_cast<unsigned char>(*text) > 0x20)
            text++;
    }
    while (*text != '\0' && static_cast<unsigned char>(*text) <= 0x20)
        text++;
    return text;
}
