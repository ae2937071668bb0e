#include "common/port_serial.h"
#include "common/bounded_text.h"

// No device has an empty serial; the searches have always taken the first port they read for
// one, and still do.
BOOL PortNamesSerial(LPCSTR port, LPCSTR serial) {
    if (port == NULL || serial == NULL)
        return FALSE;
    if (serial[0] == '\0')
        return TRUE;
    LPCSTR last = port;
    for (LPCSTR at = port; *at != '\0'; at++) {
        if (*at == '/')
            last = at + 1;
    }
    return TextEqual(last, serial);
}
