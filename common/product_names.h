// The names both images use: the printer interface class, the directories the driver set lives
// in and the maker's registry keys. Each is spelt here once.
#ifndef VTX_COMMON_PRODUCT_NAMES_H
#define VTX_COMMON_PRODUCT_NAMES_H

#include "platform/win32api.h"

// The printer interface class {5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}, given once as its parts so
// that the GUID the device calls take and the text the registry keys are named by cannot differ.
#define INTERFACE_CLASS_PARTS(form) form(5d2f7a10, 3c4b, 4e8a, 9b, 61, 2f, 0c, 8e, 4d, 7a, 93)
#define INTERFACE_CLASS_TEXT_FORM(a, b, c, d0, d1, d2, d3, d4, d5, d6, d7)                         \
    "{" #a "-" #b "-" #c "-" #d0 #d1 "-" #d2 #d3 #d4 #d5 #d6 #d7 "}"
// "{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}", as it appears in key names.
#define INTERFACE_CLASS_GUID_TEXT INTERFACE_CLASS_PARTS(INTERFACE_CLASS_TEXT_FORM)
extern const GUID InterfaceClassGuid;

// Windows 98 is always found on C:, where the driver set is installed.
#define WINDOWS_DIRECTORY "C:\\Windows\\"
#define SYSTEM_DIRECTORY WINDOWS_DIRECTORY "System\\"
#define DRIVERS_DIRECTORY WINDOWS_DIRECTORY "System32\\DRIVERS\\"
#define VMM32_DIRECTORY SYSTEM_DIRECTORY "VMM32\\"
#define INF_DIRECTORY WINDOWS_DIRECTORY "Inf\\Other\\"

// The maker's USB devices: "Enum\USB\" keys named "VID_0D7A&PID_<product id>".
#define MAKER_DEVICE_TYPE_PREFIX "VID_0D7A&PID_"

// The maker's key below HKEY_LOCAL_MACHINE; "VTXIO" holds a key per model with its setup values,
// "VTX" the setup program's command line per model and device.
#define MAKER_KEY_NAME "Software\\Kelvara"
#define MAKER_KEY MAKER_KEY_NAME "\\"
#define MODEL_KEYS_NAME "VTXIO"
#define SETUP_KEYS_NAME "VTX"
#define MODEL_KEYS MAKER_KEY MODEL_KEYS_NAME "\\"
#define SETUP_KEYS MAKER_KEY SETUP_KEYS_NAME "\\"

#endif // VTX_COMMON_PRODUCT_NAMES_H
