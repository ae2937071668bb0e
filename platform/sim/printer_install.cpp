// Test-only: a printer "plugged in" as the maker's driver installation leaves it: registry keys
// of the device, its interface, its driver and its model, and the driver files.
#include "platform/sim/devices.h"
#include "platform/sim/machine.h"
#include "platform/sim/test/device_ctl.h"
#include "platform/sim/test/files_ctl.h"
#include "platform/sim/test/registry_ctl.h"

namespace vtxsim {
namespace {

const std::string kMachine = "HKEY_LOCAL_MACHINE\\";
const std::string kServices = kMachine + "System\\CurrentControlSet\\Services\\";
const std::string kVendorId = "0D7A";
const std::string kDriverClass = "USB Draftaire";

// The model after its leading run of characters that occur in "Draftaire ": "K9" of
// "Draftaire K9". Empty when nothing remains.
std::string ModelRemainder(const std::string& model) {
    size_t start = model.find_first_not_of("Draftaire ");
    return start == std::string::npos ? std::string() : model.substr(start);
}

std::string HardwareId(const PrinterSpec& spec) {
    return "USB\\VID_" + kVendorId + "&PID_" + spec.productId;
}

void WriteDeviceInstance(const PrinterSpec& spec) {
    std::string key = kMachine + "Enum\\" + DeviceInstanceOf(spec);
    SetStringValue(key, "DeviceDesc", spec.model);
    SetStringValue(key, "Class", kDriverClass);
    SetStringValue(key, "HardwareID", HardwareId(spec));
    SetStringValue(key, "Mfg", "Kelvara");
    SetStringValue(key, "driver", kDriverClass + "\\" + spec.classInstance);
}

void WriteInterface(const PrinterSpec& spec) {
    std::string instance = DeviceInstanceOf(spec);
    std::string key = kMachine + sim::InterfaceClassKeyPath(sim::kPrinterInterfaceClass) + "\\" +
                      sim::InterfaceKeyName(instance, sim::kPrinterInterfaceClass);
    SetStringValue(key, "DeviceInstance", instance);
    std::string parameters = key + "\\" + sim::kInterfaceParametersSubkey;
    SetStringValue(parameters, "SerialNumber", spec.serial);
    SetStringValue(parameters, "Product", spec.product);
    if (spec.enabled)
        SetDwordValue(parameters, "Enabled", *spec.enabled);
    if (spec.writePortName)
        SetStringValue(parameters, "PortName", PortNameOf(spec));
}

void WriteDriverKeys(const PrinterSpec& spec) {
    std::string classKey = kServices + "Class\\" + kDriverClass;
    SetStringValue(classKey, "Class", kDriverClass);
    std::string instanceKey = classKey + "\\" + spec.classInstance;
    SetStringValue(instanceKey, "DriverDesc", spec.model);
    SetStringValue(instanceKey, "ProviderName", "Kelvara");
    SetStringValue(instanceKey, "DevLoader", "*ntkern");
    SetStringValue(instanceKey, "NTMPDriver", "vtxubd01.sys");
    if (!spec.infPath.empty())
        SetStringValue(instanceKey, "InfPath", spec.infPath);

    SetStringValue(kServices + "Class\\" + sim::GuidText(sim::kPrinterInterfaceClass), "",
                   "Draftaire USB printer interface");

    std::string service = kServices + "Vtxiod01";
    SetDwordValue(service, "Type", 1);
    SetDwordValue(service, "Start", 3);
    SetDwordValue(service, "ErrorControl", 1);
    SetStringValue(service, "ImagePath", "System32\\DRIVERS\\vtxiod01.sys");
    SetStringValue(service + "\\Parameters\\StaticDeviceConfig\\" + spec.model, "ProductID",
                   spec.productId);
    if (spec.vxdKey)
        SetStringValue(kServices + "VxD\\Vtxiod01", "StaticVxD", "vtxvxu01.dll");
}

// "PortName<n>" for the printer: the value that already names its port, else the first
// number not yet used.
std::string PortNameValueFor(const std::string& modelKey, const std::string& portName) {
    for (unsigned n = 1;; ++n) {
        std::string name = "PortName" + std::to_string(n);
        std::optional<std::string> value = StringValue(modelKey, name);
        if (!value || *value == portName)
            return name;
    }
}

void WriteModelKey(const PrinterSpec& spec) {
    std::string remainder = ModelRemainder(spec.model);
    if (remainder.empty())
        return; // the installation has no key to name for such a model
    std::string key = kMachine + "Software\\Kelvara\\VTXIO\\" + remainder;
    SetStringValue(key, "SetupRootPath", spec.setupRootPath);
    SetStringValue(key, "SetupExecFile", spec.setupExecFile);
    SetStringValue(key, "SetupParameters", spec.setupParameters);
    SetStringValue(key, "ProductID", spec.productId);
    if (spec.execFile)
        SetStringValue(key, "ExecFile", *spec.execFile);
    std::string portName = PortNameOf(spec);
    SetStringValue(key, PortNameValueFor(key, portName), portName);
}

} // namespace

std::string DeviceInstanceOf(const PrinterSpec& spec) {
    return HardwareId(spec) + "\\" + spec.serial;
}

std::string DevicePathOf(const PrinterSpec& spec) {
    return sim::DevicePathFromKeyName(
        sim::InterfaceKeyName(DeviceInstanceOf(spec), sim::kPrinterInterfaceClass));
}

std::string PortNameOf(const PrinterSpec& spec) {
    return "USB/" + spec.product + "/" + spec.serial;
}

void InstallDriverFiles(const std::string& infPath) {
    const char* const files[] = {
        "C:\\Windows\\System32\\DRIVERS\\vtxubd01.sys",
        "C:\\Windows\\System32\\DRIVERS\\vtxiod01.sys",
        "C:\\Windows\\System\\vtxcls01.dll",
        "C:\\Windows\\System\\vtxpmo01.dll",
        "C:\\Windows\\System\\vtxinh01.exe",
        "C:\\Windows\\System\\VMM32\\vtxvxu01.dll",
    };
    for (const char* file : files)
        PutFile(file, std::string("simulated ") + file + "\r\n");
    if (!infPath.empty())
        PutFile("C:\\Windows\\Inf\\Other\\" + infPath,
                "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=" + kDriverClass +
                    "\r\nProvider=Kelvara\r\n");
}

void InstallPrinter(const PrinterSpec& spec) {
    sim::MachineLock lock; // one transaction, as other processes see it
    WriteDeviceInstance(spec);
    WriteInterface(spec);
    WriteDriverKeys(spec);
    WriteModelKey(spec);
    if (spec.driverFiles)
        InstallDriverFiles(spec.infPath);
    if (spec.attached)
        AttachPrinter(DeviceInstanceOf(spec));
}

} // namespace vtxsim
