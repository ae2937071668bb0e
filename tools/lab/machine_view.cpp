#include "tools/lab/machine_view.h"
#include "tools/lab/shown_text.h"
#include "tools/lab/windows_names.h"

#include "common/product_names.h"
#include "platform/sim/control/case_folding_ctl.h"
#include "platform/sim/control/device_ctl.h"
#include "platform/sim/control/kernel_ctl.h"
#include "platform/sim/control/registry_ctl.h"
#include "platform/sim/control/spooler_ctl.h"

#include <algorithm>
#include <cctype>

namespace lab {

const std::string kHklm = "HKEY_LOCAL_MACHINE\\";
const std::string kInterfaceClass = kHklm + vtxsim::PrinterInterfaceClassKeyPath();
const std::string kHelperPath = "C:\\WINDOWS\\SYSTEM\\VTXINH01.EXE";
const std::string kWininit = WININIT_FILE;
const std::string kRunOnceKey = kHklm + RUN_ONCE_KEY_NAME;

namespace {

const std::string kUsbEnum = kHklm + USB_DEVICES_KEY_NAME;

std::string VersionWords(vtxsim::WindowsVersion version) {
    return WindowsNameAndNumber(version) +
           (version == vtxsim::WindowsVersion::WinMe
                ? ": the monitor scans the devices again at each StartDocPort"
                : "");
}

} // namespace

std::string MachineWords() {
    return VersionWords(vtxsim::GetWindowsVersion()) +
           (vtxsim::IsShellRunning() ? "; the shell runs (a window of class \"Progman\" exists)"
                                     : "; no shell yet: programs for the logon go to RunOnce") +
           (vtxsim::GetEnumerationOrder() == vtxsim::EnumerationOrder::Sorted
                ? "; the registry enumerates in sorted order"
                : "");
}

std::string TextOf(const vtxsim::RegistryValue& value) {
    std::string text(value.data.begin(), value.data.end());
    return text.substr(0, text.find('\0'));
}

bool SameName(const std::string& a, const std::string& b) {
    return vtxsim::SameAscii(a, b);
}

std::vector<InterfaceView> PrinterInterfaces() {
    std::vector<InterfaceView> interfaces;
    for (const std::string& name : vtxsim::SubkeyNames(kInterfaceClass)) {
        InterfaceView view;
        view.key = kInterfaceClass + "\\" + name;
        std::optional<std::string> instance = vtxsim::StringValue(view.key, "DeviceInstance");
        if (!instance)
            continue; // no interface, as the device installation services see it
        view.deviceInstance = *instance;
        view.parametersKey = view.key + "\\" + vtxsim::InterfaceParametersSubkey();
        view.portName = vtxsim::RawValue(view.parametersKey, "PortName");
        view.serialNumber = vtxsim::RawValue(view.parametersKey, "SerialNumber");
        view.product = vtxsim::RawValue(view.parametersKey, "Product");
        view.enabled = vtxsim::RawValue(view.parametersKey, "Enabled");
        view.hasValues = !vtxsim::ValueNames(view.parametersKey).empty();
        interfaces.push_back(std::move(view));
    }
    return interfaces;
}

std::vector<DeviceView> MakerDevices() {
    std::vector<DeviceView> devices;
    for (const std::string& hardware : vtxsim::SubkeyNames(kUsbEnum)) {
        if (!vtxsim::StartsWithAscii(hardware, std::string("VID_") + vtxsim::kMakerVendorId + "&"))
            continue;
        for (const std::string& serial : vtxsim::SubkeyNames(kUsbEnum + "\\" + hardware)) {
            std::string key = kUsbEnum + "\\" + hardware + "\\" + serial;
            DeviceView device;
            device.instance = "USB\\" + hardware + "\\" + serial;
            device.serial = serial;
            device.model = vtxsim::StringValue(key, "DeviceDesc").value_or("");
            devices.push_back(std::move(device));
        }
    }
    return devices;
}

std::optional<DeviceView> DeviceOfSerial(const std::string& serial) {
    for (DeviceView& device : MakerDevices()) {
        if (SameName(device.serial, serial))
            return device;
    }
    return std::nullopt;
}

std::string KnownSerials() {
    std::string list;
    for (const DeviceView& device : MakerDevices())
        list += (list.empty() ? "" : ", ") + Shown(device.serial);
    return list.empty() ? "none" : list;
}

bool NamesOurMonitor(const std::string& driver) {
    return SameName(driver.substr(driver.find_last_of('\\') + 1), MONITOR_FILE_NAME);
}

std::vector<std::string> OurMonitorInstances() {
    std::vector<std::string> instances;
    for (const std::string& name : vtxsim::MonitorNames()) {
        if (NamesOurMonitor(vtxsim::MonitorDriver(name)))
            instances.push_back(name);
    }
    return instances;
}

std::optional<std::string> InstanceOfPort(const std::string& port) {
    for (const InterfaceView& view : PrinterInterfaces()) {
        if (view.portName && SameName(TextOf(*view.portName), port))
            return view.deviceInstance;
    }
    return std::nullopt;
}

std::optional<std::string> PrinterOnPort(const std::string& port) {
    for (const std::string& name : vtxsim::PrinterNames()) {
        if (SameName(vtxsim::PrinterPort(name), port))
            return name;
    }
    return std::nullopt;
}

} // namespace lab
