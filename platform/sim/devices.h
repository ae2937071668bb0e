// Device interfaces and the simulated USB printers behind them, as the setupapi module and the
// test controls see them.
//
// Interfaces are kept in the registry as Windows 98 keeps them: below
// HKLM\System\CurrentControlSet\Control\DeviceClasses\{class} one key per interface, named
// "##.#<16-digit number>#{class}" from a number the machine hands out, holding "DeviceInstance";
// the device path is "\\.\<number>#{class}". Keys in the Windows 2000 form
// ("##?#USB#VID_0D7A&PID_0042#AB12#{class}", path "\\?\usb#...#{class}"), as machines imported
// from elsewhere may have them, are read alike. Deleting the key makes the interface disappear. The
// printers' own state (attached, status byte, data received, queued replies, stall, control table,
// exclusive-open lock) lies in files under <machine>/devices/<instance>/ so that every process of
// the machine sees it.
#pragma once

#include "platform/sim/machine_types.h"
#include "platform/win32api.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// {5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}: the interface class of the maker's printer driver.
extern const GUID kPrinterInterfaceClass;

// "{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}" (lower case, with braces).
std::string GuidText(const GUID& guid);
std::optional<GUID> ParseGuid(std::string_view text);
bool SameGuid(const GUID& a, const GUID& b);

// "System\CurrentControlSet\Control\DeviceClasses\{class}" (below HKEY_LOCAL_MACHINE).
std::string InterfaceClassKeyPath(const GUID& interfaceClass);
// "##.#0000000000000003#{class}" for the interface number 3.
std::string InterfaceKeyName(DWORD number, const GUID& interfaceClass);
// "##?#USB#VID_0D7A&PID_0042#AB12#{class}" for the instance "USB\VID_0D7A&PID_0042\AB12": the
// name Windows 2000 and Wine give the interface.
std::string NtInterfaceKeyName(std::string_view deviceInstance, const GUID& interfaceClass);
// The key name of a new interface of the class, with the next number the machine hands out.
// Call with a MachineLock held, in the transaction that creates the key.
std::string NewInterfaceKeyName(const GUID& interfaceClass);
// The name the next NewInterfaceKeyName would give, handing nothing out.
std::string NextInterfaceKeyName(const GUID& interfaceClass);
// Below an interface key: the key where the driver keeps its values and the monitor its
// PortName. NT keeps the reference string's key "#" with "Device Parameters" in it; the
// simulated machine does the same.
extern const char* const kInterfaceParametersSubkey;

struct InterfaceRecord {
    GUID interfaceClass;
    std::string keyPath;        // the interface key, below HKEY_LOCAL_MACHINE
    std::string deviceInstance; // "USB\VID_0D7A&PID_0042\AB12"
    std::string devicePath;     // "\\.\0000000000000003#{class}"
};

// Every registered interface of the class (every class when interfaceClass is NULL), in the
// registry's key order. A key without a "DeviceInstance" value is no interface. Reads the
// registry through the public Reg* functions; call with a MachineLock held.
std::vector<InterfaceRecord> ListInterfaces(const GUID* interfaceClass);
// The device path of an interface key name: "##.#" becomes "\\.\", "##?#" "\\?\", all in
// lower case.
std::string DevicePathFromKeyName(std::string_view keyName);
// The device instance a device path names, of either form ("usb\vid_0d7a&pid_0042\ab12" from an
// NT path, the interface's "DeviceInstance" for a 9x one), or nothing when it names no
// interface of the class. Call with a MachineLock held.
std::optional<std::string> InstanceOfDevicePath(std::string_view path, const GUID& interfaceClass);

// --- Simulated USB printers (usb_printer.cpp) ---

// Whether the device instance is a simulated printer that is plugged in now.
bool DeviceAttached(std::string_view deviceInstance);

// The printers' own state, for the controls; a printer is named by its serial number or its
// device instance, and a name that matches no printer throws std::invalid_argument.
void AttachPrinter(const std::string& serialOrInstance);
void DetachPrinter(const std::string& serialOrInstance);
bool IsPrinterAttached(const std::string& serialOrInstance);
void SetStatusByte(const std::string& serialOrInstance, std::uint8_t status);
void QueueReply(const std::string& serialOrInstance, const std::string& bytes);
std::string ReceivedData(const std::string& serialOrInstance);
void ClearReceivedData(const std::string& serialOrInstance);
void SetStall(const std::string& serialOrInstance, std::uint64_t remaining);
void ClearStall(const std::string& serialOrInstance);
void SetControlReply(const std::string& serialOrInstance, DWORD code, const std::string& bytes,
                     DWORD error);
std::vector<vtxsim::ControlCall> ReceivedControls(const std::string& serialOrInstance);
std::vector<vtxsim::PrinterState> SimulatedPrinters();
bool IsDeviceOpen(const std::string& serialOrInstance);

} // namespace sim
