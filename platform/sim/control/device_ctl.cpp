#include "platform/sim/control/device_ctl.h"

#include "platform/sim/devices.h"
#include "platform/sim/live_counts.h"
#include "platform/sim/machine.h"

namespace vtxsim {

void AttachPrinter(const std::string& serialOrInstance) {
    sim::AttachPrinter(serialOrInstance);
}

void DetachPrinter(const std::string& serialOrInstance) {
    sim::DetachPrinter(serialOrInstance);
}

bool IsPrinterAttached(const std::string& serialOrInstance) {
    return sim::IsPrinterAttached(serialOrInstance);
}

void SetStatusByte(const std::string& serialOrInstance, std::uint8_t status) {
    sim::SetStatusByte(serialOrInstance, status);
}

void QueueReply(const std::string& serialOrInstance, const std::string& bytes) {
    sim::QueueReply(serialOrInstance, bytes);
}

std::string ReceivedData(const std::string& serialOrInstance) {
    return sim::ReceivedData(serialOrInstance);
}

void ClearReceivedData(const std::string& serialOrInstance) {
    sim::ClearReceivedData(serialOrInstance);
}

void SetStall(const std::string& serialOrInstance, std::uint64_t remaining) {
    sim::SetStall(serialOrInstance, remaining);
}

void ClearStall(const std::string& serialOrInstance) {
    sim::ClearStall(serialOrInstance);
}

void SetControlReply(const std::string& serialOrInstance, DWORD code, const std::string& bytes,
                     DWORD error) {
    sim::SetControlReply(serialOrInstance, code, bytes, error);
}

std::vector<ControlCall> ReceivedControls(const std::string& serialOrInstance) {
    return sim::ReceivedControls(serialOrInstance);
}

bool IsDeviceOpen(const std::string& serialOrInstance) {
    return sim::IsDeviceOpen(serialOrInstance);
}

std::vector<PrinterState> SimulatedPrinters() {
    return sim::SimulatedPrinters();
}

std::string PrinterInterfaceClassKeyPath() {
    return sim::InterfaceClassKeyPath(sim::kPrinterInterfaceClass);
}

std::string PrinterInterfaceClassText() {
    return sim::GuidText(sim::kPrinterInterfaceClass);
}

std::string InterfaceParametersSubkey() {
    return sim::kInterfaceParametersSubkey;
}

std::vector<PrinterInterface> PrinterInterfaceRecords() {
    sim::MachineLock lock;
    std::vector<PrinterInterface> interfaces;
    for (sim::InterfaceRecord& record : sim::ListInterfaces(&sim::kPrinterInterfaceClass))
        interfaces.push_back({std::move(record.keyPath), std::move(record.deviceInstance),
                              std::move(record.devicePath)});
    return interfaces;
}

std::string NewPrinterInterfaceKeyName() {
    sim::MachineLock lock;
    return sim::NewInterfaceKeyName(sim::kPrinterInterfaceClass);
}

std::string NextPrinterInterfaceKeyName() {
    sim::MachineLock lock;
    return sim::NextInterfaceKeyName(sim::kPrinterInterfaceClass);
}

std::string NtPrinterInterfaceKeyName(const std::string& deviceInstance) {
    return sim::NtInterfaceKeyName(deviceInstance, sim::kPrinterInterfaceClass);
}

std::string DevicePathFromKeyName(std::string_view keyName) {
    return sim::DevicePathFromKeyName(keyName);
}

unsigned OpenDeviceInfoListCount() {
    return sim::OpenDeviceInfoListCount();
}

} // namespace vtxsim
