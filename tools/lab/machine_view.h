// The machine's printers as its registry describes them: the device interfaces of the maker's
// class with their values, the USB devices of the maker below "Enum\USB", and the spooler's
// instances of the maker's monitor.
#pragma once

#include "driver_install/printer_install.h"
#include "platform/sim/control/simctl.h"

#include <optional>
#include <string>
#include <vector>

namespace lab {

extern const std::string kHklm;           // "HKEY_LOCAL_MACHINE\"
extern const std::string kInterfaceClass; // the class key below DeviceClasses, with kHklm
extern const std::string kHelperPath;     // the helper as the device installer names it
extern const std::string kWininit;        // C:\Windows\wininit.ini
extern const std::string kRunOnceKey;     // with kHklm

struct InterfaceView {
    std::string key;            // the interface key
    std::string parametersKey;  // its own key, where the driver's values lie
    std::string deviceInstance; // its "DeviceInstance"
    std::optional<vtxsim::RegistryValue> portName, serialNumber, product, enabled;
    bool hasValues = false; // any value at all on the parameters key
};

// In the order the monitor enumerates them (the registry's key order).
std::vector<InterfaceView> PrinterInterfaces();

struct DeviceView {
    std::string instance; // "USB\VID_0D7A&PID_0042\AB12"
    std::string serial;   // its last component
    std::string model;    // "DeviceDesc", as the device installer gives it to the helper
};
std::vector<DeviceView> MakerDevices();
std::optional<DeviceView> DeviceOfSerial(const std::string& serial);
// "AB12, CD34" (or "none") for messages naming what is there.
std::string KnownSerials();

// Whether a monitor instance's Driver value names vtxpmo01.dll, by any path.
bool NamesOurMonitor(const std::string& driver);
// The spooler's monitor instances whose Driver is vtxpmo01.dll, by any path, in the registry's
// order.
std::vector<std::string> OurMonitorInstances();

// The device instance behind a port name, from the interfaces' "PortName" values.
std::optional<std::string> InstanceOfPort(const std::string& port);
// The first of the spooler's printers whose Port is port; none when no printer uses it.
std::optional<std::string> PrinterOnPort(const std::string& port);

// The model remainder, as the helper names the model's keys: "K9" of "Draftaire K9".
using vtxsim::ModelRemainder;
// "Windows ME (4.90), the shell runs (...)": the version the machine reports and its shell.
std::string MachineWords();
// A value's bytes up to the first zero, as text.
std::string TextOf(const vtxsim::RegistryValue& value);
// ASCII letters folded, as the monitor compares port names.
bool SameName(const std::string& a, const std::string& b);

} // namespace lab
