// A printer "plugged in" as the maker's driver installation leaves it.
#include "driver_install/printer_install.h"
#include "common/model_remainder.h"
#include "common/product_names.h"
#include "platform/sim/control/case_folding_ctl.h"
#include "platform/sim/control/device_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/registry_ctl.h"

namespace vtxsim {
namespace {

const std::string kMachine = "HKEY_LOCAL_MACHINE\\";
const std::string kDriverClass = PRINTER_CLASS_NAME;

std::string ProductOf(const PrinterSpec& spec) {
    return spec.product.empty() ? spec.model : spec.product;
}

std::string FourDigits(unsigned n) {
    std::string text = std::to_string(n);
    return std::string(text.size() < 4 ? 4 - text.size() : 0, '0') + text;
}

// The class instance the printer's description names, else the one the device already has,
// else the first free number: every device gets a class instance of its own, as the device
// installer does.
std::string ClassInstanceFor(const PrinterSpec& spec) {
    if (!spec.classInstance.empty())
        return spec.classInstance;
    std::optional<std::string> driver =
        StringValue(kMachine + "Enum\\" + DeviceInstanceOf(spec), "driver");
    const std::string prefix = kDriverClass + "\\";
    if (driver && driver->starts_with(prefix) && driver->size() > prefix.size())
        return driver->substr(prefix.size());
    std::string classKey = kMachine + PRINTER_CLASS_KEY_NAME;
    for (unsigned n = 0;; ++n) {
        if (!KeyExists(classKey + "\\" + FourDigits(n)))
            return FourDigits(n);
    }
}

void WriteDeviceInstance(const PrinterSpec& spec, const std::string& classInstance) {
    std::string key = kMachine + "Enum\\" + DeviceInstanceOf(spec);
    SetStringValue(key, "DeviceDesc", spec.model);
    SetStringValue(key, "Class", kDriverClass);
    SetStringValue(key, "HardwareID", HardwareIdOf(spec));
    SetStringValue(key, "Mfg", "Kelvara");
    SetStringValue(key, "driver", kDriverClass + "\\" + classInstance);
}

// The interface of the printer's device, when the machine has one.
std::optional<PrinterInterface> InterfaceRecordOf(const PrinterSpec& spec) {
    std::string instance = DeviceInstanceOf(spec);
    for (PrinterInterface& record : PrinterInterfaceRecords()) {
        if (SameAscii(record.deviceInstance, instance))
            return record;
    }
    return std::nullopt;
}

std::string ClassKey() {
    return kMachine + PrinterInterfaceClassKeyPath() + "\\";
}

// The key of a new interface of the printer: numbered by the machine (the number handed out
// only when handOut), or named as Wine names it.
std::string NewInterfaceKey(const PrinterSpec& spec, bool handOut) {
    if (spec.ntInterfaceKey)
        return ClassKey() + NtPrinterInterfaceKeyName(DeviceInstanceOf(spec));
    return ClassKey() + (handOut ? NewPrinterInterfaceKeyName() : NextPrinterInterfaceKeyName());
}

// A printer installed again keeps its interface; a new one gets a new key.
void WriteInterface(const PrinterSpec& spec) {
    std::optional<PrinterInterface> record = InterfaceRecordOf(spec);
    std::string key = record ? kMachine + record->keyPath : NewInterfaceKey(spec, true);
    SetStringValue(key, "DeviceInstance", DeviceInstanceOf(spec));
    std::string parameters = InterfaceParametersKeyOf(spec);
    SetStringValue(parameters, "SerialNumber", spec.serial);
    SetStringValue(parameters, "Product", ProductOf(spec));
    if (spec.enabled)
        SetDwordValue(parameters, "Enabled", *spec.enabled);
    if (spec.writePortName)
        SetStringValue(parameters, "PortName", PortNameOf(spec));
}

void WriteDriverKeys(const PrinterSpec& spec, const std::string& classInstance) {
    std::string classKey = kMachine + PRINTER_CLASS_KEY_NAME;
    SetStringValue(classKey, "Class", kDriverClass);
    std::string instanceKey = classKey + "\\" + classInstance;
    SetStringValue(instanceKey, "DriverDesc", spec.model);
    SetStringValue(instanceKey, "ProviderName", "Kelvara");
    SetStringValue(instanceKey, "DevLoader", "*ntkern");
    SetStringValue(instanceKey, "NTMPDriver", USB_DRIVER_FILE_NAME);
    if (!spec.infPath.empty())
        SetStringValue(instanceKey, "InfPath", spec.infPath);

    SetStringValue(kMachine + INTERFACE_CLASS_KEY_NAME, "", "Draftaire USB printer interface");

    std::string service = kMachine + DRIVER_SERVICE_KEY_NAME;
    SetDwordValue(service, "Type", 1);
    SetDwordValue(service, "Start", 3);
    SetDwordValue(service, "ErrorControl", 1);
    SetStringValue(service, "ImagePath", "System32\\DRIVERS\\" IO_DRIVER_FILE_NAME);
    SetStringValue(service + "\\Parameters\\StaticDeviceConfig\\" + spec.model, "ProductID",
                   spec.productId);
    if (spec.vxdKey)
        SetStringValue(kMachine + VXD_KEY_NAME, "StaticVxD", VXD_LIBRARY_FILE_NAME);
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
    std::string key = kMachine + MODEL_KEYS + remainder;
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

std::string ModelRemainder(const std::string& model) {
    LPCSTR remainder = ModelRemainderOf(model.c_str());
    return remainder != nullptr ? std::string(remainder) : std::string();
}

PrinterSpec DraftaireK9(const std::string& serial) {
    PrinterSpec spec;
    spec.serial = serial;
    return spec;
}

PrinterSpec DraftaireK7(const std::string& serial) {
    PrinterSpec spec;
    spec.model = "Draftaire K7";
    spec.productId = "0041";
    spec.serial = serial;
    spec.infPath = "OEM1.INF";
    return spec;
}

const char* const kMakerVendorId = "0D7A";

std::string HardwareIdOf(const PrinterSpec& spec) {
    return std::string("USB\\VID_") + kMakerVendorId + "&PID_" + spec.productId;
}

std::string DeviceInstanceOf(const PrinterSpec& spec) {
    return HardwareIdOf(spec) + "\\" + spec.serial;
}

std::string DevicePathOf(const PrinterSpec& spec) {
    HeldMachine lock;
    if (std::optional<PrinterInterface> record = InterfaceRecordOf(spec))
        return record->devicePath;
    std::string key = NewInterfaceKey(spec, false);
    return DevicePathFromKeyName(key.substr(key.rfind('\\') + 1));
}

std::string InterfaceKeyOf(const PrinterSpec& spec) {
    HeldMachine lock;
    if (std::optional<PrinterInterface> record = InterfaceRecordOf(spec))
        return kMachine + record->keyPath;
    return NewInterfaceKey(spec, false);
}

std::string InterfaceParametersKeyOf(const PrinterSpec& spec) {
    return InterfaceKeyOf(spec) + "\\" + InterfaceParametersSubkey();
}

std::string PortNameOf(const PrinterSpec& spec) {
    return "USB/" + ProductOf(spec) + "/" + spec.serial;
}

void InstallDriverFiles(const std::string& infPath) {
    const char* const files[] = {
        USB_DRIVER_FILE, IO_DRIVER_FILE, CLASS_LIBRARY_FILE,
        MONITOR_FILE,    HELPER_FILE,    VXD_LIBRARY_FILE,
    };
    for (const char* file : files)
        PutFile(file, std::string("simulated ") + file + "\r\n");
    if (!infPath.empty())
        PutFile(INF_DIRECTORY + infPath, "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=" +
                                             kDriverClass + "\r\nProvider=Kelvara\r\n");
}

void InstallPrinter(const PrinterSpec& spec) {
    HeldMachine lock; // one transaction, as other processes see it
    std::string classInstance = ClassInstanceFor(spec);
    WriteDeviceInstance(spec, classInstance);
    WriteInterface(spec);
    WriteDriverKeys(spec, classInstance);
    WriteModelKey(spec);
    if (spec.driverFiles)
        InstallDriverFiles(spec.infPath);
    if (spec.attached)
        AttachPrinter(DeviceInstanceOf(spec));
}

} // namespace vtxsim
