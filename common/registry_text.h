// The product's one reader of registry text values. Values are stored as given: a REG_SZ may
// lack its terminator and a value of any type is read as its bytes. The caller names the buffer,
// how much of it the registry is offered, and how the end of the text is found.
#ifndef VTX_COMMON_REGISTRY_TEXT_H
#define VTX_COMMON_REGISTRY_TEXT_H

#include "platform/win32api.h"

// The buffer is zeroed before the read and the text ends at its first zero byte; a value that
// leaves no zero byte in the buffer does not fit. Without this rule the text is terminated after
// the bytes the registry returned, and a value that reaches the end of the buffer fits only when
// its last byte is zero.
#define REGISTRY_TEXT_ZEROED 0x1
// ERROR_INSUFFICIENT_BUFFER from the registry counts as a read rather than a failure.
#define REGISTRY_TEXT_SHORT_BUFFER_READ 0x2

// Reads valueName of key into text (textSize bytes), offering the registry the first offered
// bytes of it (at most textSize); type, when given, receives the value's type. ERROR_SUCCESS with
// the text terminated within the buffer, ERROR_MORE_DATA when the value does not fit (nothing
// fits a buffer of no bytes), else the registry's code; on failure the text is empty.
LONG ReadRegistryText(HKEY key, LPCSTR valueName, LPDWORD type, LPSTR text, DWORD textSize,
                      DWORD offered, DWORD rules);

#endif // VTX_COMMON_REGISTRY_TEXT_H
