// Control: plug in and control the simulated USB printers of the maker's driver.
//
// A printer is named by its serial number ("AB12") or its device instance
// ("USB\VID_0D7A&PID_0042\AB12"). A name that matches no printer throws std::invalid_argument.
#pragma once

#include "platform/sim/machine_types.h"
#include "platform/win32api.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vtxsim {

// Plugs a printer in (creating its device if it has none yet) or pulls it out. Handles open
// on a pulled printer fail from then on with ERROR_DEVICE_NOT_CONNECTED (1167), also after the
// printer is plugged in again.
void AttachPrinter(const std::string& serialOrInstance);
void DetachPrinter(const std::string& serialOrInstance);
bool IsPrinterAttached(const std::string& serialOrInstance);

// The port status bits (kPaperEmpty, kSelected, kNoError, kDefaultStatus), the status query
// kStatusControl and the stall error kStallError: machine_types.h.

void SetStatusByte(const std::string& serialOrInstance, std::uint8_t status);
// Bytes the printer gives to the next reads, after any still queued.
void QueueReply(const std::string& serialOrInstance, const std::string& bytes);
// Everything written to the printer since it was created.
std::string ReceivedData(const std::string& serialOrInstance);
// Forgets what the printer has received so far (a long run would fill the disk).
void ClearReceivedData(const std::string& serialOrInstance);
// The printer accepts remaining more bytes, then moves nothing: a write that gets no byte
// through fails with kStallError and zero bytes written.
void SetStall(const std::string& serialOrInstance, std::uint64_t remaining);
void ClearStall(const std::string& serialOrInstance);
// Answer for a device control: error 0 returns bytes (122 when the output is smaller); any
// other error fails the control with it. Overrides the built-in status query too.
void SetControlReply(const std::string& serialOrInstance, DWORD code, const std::string& bytes,
                     DWORD error = 0);
// Every device control the printer received, in order (the status query included).
std::vector<ControlCall> ReceivedControls(const std::string& serialOrInstance);
// Whether a handle (of any process) holds the printer open.
bool IsDeviceOpen(const std::string& serialOrInstance);

// What a printer is like now, for tools that show it: PrinterState (machine_types.h).
// Every simulated printer of the machine, plugged in or not, in no particular order.
std::vector<PrinterState> SimulatedPrinters();

// --- The interfaces of the printer driver's device interface class, as the registry keeps
// them (devices.h says how) ---

// "System\CurrentControlSet\Control\DeviceClasses\{class}" (below HKEY_LOCAL_MACHINE), and
// the class as "{...}" text.
std::string PrinterInterfaceClassKeyPath();
std::string PrinterInterfaceClassText();
// Below an interface key: the key where the driver keeps its values and the monitor its
// PortName.
std::string InterfaceParametersSubkey();

struct PrinterInterface {
    std::string keyPath;        // the interface key, below HKEY_LOCAL_MACHINE
    std::string deviceInstance; // "USB\VID_0D7A&PID_0042\AB12"
    std::string devicePath;     // "\\.\0000000000000003#{class}"
};
// Every registered interface of the class, in the registry's key order.
std::vector<PrinterInterface> PrinterInterfaceRecords();
// The key name of a new interface of the class: with the next number the machine hands out
// (hand it out only while a HeldMachine makes the key in the same transaction), the name it
// would give, handing nothing out, or the name Windows 2000 and Wine give the device's.
std::string NewPrinterInterfaceKeyName();
std::string NextPrinterInterfaceKeyName();
std::string NtPrinterInterfaceKeyName(const std::string& deviceInstance);
// The device path of an interface key name: "##.#" becomes "\\.\", "##?#" "\\?\", all in
// lower case.
std::string DevicePathFromKeyName(std::string_view keyName);

// Device information lists from SetupDiGetClassDevsA not yet destroyed, in this process.
unsigned OpenDeviceInfoListCount();

} // namespace vtxsim
