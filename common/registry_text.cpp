#include "common/registry_text.h"
#include "common/bounded_text.h"

// ERROR_SUCCESS when the text read (returned bytes of it) ends within its buffer, terminating
// it where the rules say so; ERROR_MORE_DATA when it does not: cut, it could name another thing.
static LONG EndText(LPSTR text, DWORD textSize, DWORD returned, DWORD rules) {
    if (textSize == 0)
        return ERROR_MORE_DATA;
    if ((rules & REGISTRY_TEXT_ZEROED) != 0)
        return TextLengthBounded(text, textSize) < textSize ? ERROR_SUCCESS : ERROR_MORE_DATA;
    if (returned < textSize) {
        text[returned] = '\0';
        return ERROR_SUCCESS;
    }
    return text[textSize - 1] == '\0' ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

LONG ReadRegistryText(HKEY key, LPCSTR valueName, LPDWORD type, LPSTR text, DWORD textSize,
                      DWORD offered, DWORD rules) {
    if (text == NULL || offered > textSize)
        return ERROR_INVALID_PARAMETER;
    if ((rules & REGISTRY_TEXT_ZEROED) != 0)
        MemoryZero(text, textSize);
    DWORD returned = offered;
    LONG rc = RegQueryValueExA(key, valueName, NULL, type, (LPBYTE)text, &returned);
    if (rc == ERROR_INSUFFICIENT_BUFFER && (rules & REGISTRY_TEXT_SHORT_BUFFER_READ) != 0)
        rc = ERROR_SUCCESS;
    if (rc == ERROR_SUCCESS)
        rc = EndText(text, textSize, returned, rules);
    if (rc != ERROR_SUCCESS && textSize > 0)
        text[0] = '\0';
    return rc;
}
