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

// The keys below HKEY_LOCAL_MACHINE that the driver's installation makes and the helper changes
// or removes, besides the maker's key and the devices' keys below USB_DEVICES_KEY; and the
// spooler's printers, whose ports the helper reads.
#define CONTROL_KEY "System\\CurrentControlSet\\Control\\"
#define SERVICES_KEY "System\\CurrentControlSet\\Services\\"
#define USB_DEVICES_KEY_NAME "Enum\\USB"
#define USB_DEVICES_KEY USB_DEVICES_KEY_NAME "\\"
#define INTERFACES_KEY_NAME CONTROL_KEY "DeviceClasses\\" INTERFACE_CLASS_GUID_TEXT
// The device class of the maker's printers; a device's "driver" value names its instance below
// the class key as "USB Draftaire\<n>".
#define PRINTER_CLASS_NAME "USB Draftaire"
#define PRINTER_CLASS_KEY_NAME SERVICES_KEY "Class\\" PRINTER_CLASS_NAME
#define INTERFACE_CLASS_KEY_NAME SERVICES_KEY "Class\\" INTERFACE_CLASS_GUID_TEXT
// The I/O driver's service, which also names its VxD.
#define DRIVER_SERVICE_NAME "Vtxiod01"
#define DRIVER_SERVICE_KEY_NAME SERVICES_KEY DRIVER_SERVICE_NAME
#define VXD_KEY_NAME SERVICES_KEY "VxD\\" DRIVER_SERVICE_NAME
#define MONITORS_KEY_NAME CONTROL_KEY "Print\\Monitors"
#define PRINTERS_KEY_NAME CONTROL_KEY "Print\\Printers"
#define RUN_ONCE_KEY_NAME "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"
// The value below RUN_ONCE_KEY_NAME that the helper queues the setup program in.
#define RUN_ONCE_VALUE_NAME "RunOnce"

// The driver set's files, the helper's and wininit.ini, which queues their changes for the
// restart (WININIT keeps the file it ran as wininit.bak): by the bare name the registry, the
// spooler and the profile calls know it by, and by its path.
#define HELPER_FILE_NAME "vtxinh01.exe"
#define MONITOR_FILE_NAME "vtxpmo01.dll"
#define USB_DRIVER_FILE_NAME "vtxubd01.sys"
#define IO_DRIVER_FILE_NAME "vtxiod01.sys"
#define VXD_LIBRARY_FILE_NAME "vtxvxu01.dll"
#define WININIT_FILE_NAME "wininit.ini"
#define HELPER_FILE SYSTEM_DIRECTORY HELPER_FILE_NAME
#define MONITOR_FILE SYSTEM_DIRECTORY MONITOR_FILE_NAME
#define CLASS_LIBRARY_FILE SYSTEM_DIRECTORY "vtxcls01.dll"
#define USB_DRIVER_FILE DRIVERS_DIRECTORY USB_DRIVER_FILE_NAME
#define IO_DRIVER_FILE DRIVERS_DIRECTORY IO_DRIVER_FILE_NAME
#define VXD_LIBRARY_FILE VMM32_DIRECTORY VXD_LIBRARY_FILE_NAME
#define WININIT_FILE WINDOWS_DIRECTORY WININIT_FILE_NAME
#define WININIT_BACKUP_FILE WINDOWS_DIRECTORY "wininit.bak"

#endif // VTX_COMMON_PRODUCT_NAMES_H
