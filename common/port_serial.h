// Which port names a device's serial number: the rule the printer scan, the port name search
// and vtxlab share.
#ifndef VTX_COMMON_PORT_SERIAL_H
#define VTX_COMMON_PORT_SERIAL_H

#include "platform/win32api.h"

// TRUE when serial is the whole part of port after its last "/" (the whole port when it has
// none), compared byte for byte: "USB/Draftaire K9/AB12" names "AB12", not "AB1" nor "B12".
// An empty serial is named by every port.
BOOL PortNamesSerial(LPCSTR port, LPCSTR serial);

#endif // VTX_COMMON_PORT_SERIAL_H
