// Test-only: plug in and control the simulated USB printers of the maker's driver.
//
// A printer is named by its serial number ("AB12") or its device instance
// ("USB\VID_0D7A&PID_0042\AB12"). A name that matches no printer throws std::invalid_argument.
#pragma once

#include "platform/win32api.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vtxsim {

// What the maker's driver installation leaves behind for one printer.
struct PrinterSpec {
    std::string model = "Draftaire K9"; // full model; the model key uses its remainder ("K9")
    std::string productId = "0042";     // USB product id: "VID_0D7A&PID_<productId>"
    std::string serial = "AB12";
    std::string product;              // "Product" on the interface key; empty: the model
    std::optional<DWORD> enabled = 1; // "Enabled" on the interface key; none when empty
    bool writePortName = false;       // also "PortName" on the interface key
    std::string classInstance;        // "USB Draftaire\<n>"; empty: the next free n
                                      // ("0000", "0001", ...)
    std::string infPath = "OEM0.INF"; // "InfPath" of the class instance; none when empty
    std::string setupRootPath = "C:\\Program Files\\Kelvara\\Setup";
    std::string setupExecFile = "vtxsetup.exe";
    std::string setupParameters = "-s";
    std::optional<std::string> execFile; // "ExecFile" of the model key, none by default
    bool vxdKey = false;                 // "System\CurrentControlSet\Services\VxD\Vtxiod01"
    bool attached = true;                // plugged in after installation
    bool driverFiles = true;             // put the driver files and the INF file on C:
};

// The two models of the fixtures: a "Draftaire K9" (product id 0042, "OEM0.INF") and a
// "Draftaire K7" (product id 0041, "OEM1.INF").
PrinterSpec DraftaireK9(const std::string& serial = "AB12");
PrinterSpec DraftaireK7(const std::string& serial = "EF56");

// The machines of tests/fixtures/*.reg (registry only; add InstallDriverFiles and
// AttachPrinter for files and plugged-in printers):
//   one_k9_printer.reg      DraftaireK9("AB12")
//   one_k9_printer_vxd.reg  DraftaireK9("AB12") with vxdKey
//   two_k9_printers.reg     DraftaireK9("AB12"), then DraftaireK9("CD34")
//   k9_and_k7_printers.reg  DraftaireK9("AB12"), then DraftaireK7("EF56")

// "USB\VID_0D7A&PID_<productId>\<serial>"
std::string DeviceInstanceOf(const PrinterSpec& spec);
// "\\?\usb#vid_0d7a&pid_<productId>#<serial>#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}", lower case
std::string DevicePathOf(const PrinterSpec& spec);
// "HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\DeviceClasses\{...}\##?#USB#...#{...}":
// the interface; deleting it makes the interface disappear.
std::string InterfaceKeyOf(const PrinterSpec& spec);
// The interface's own registry key below it ("#\Device Parameters"): "SerialNumber", "Product",
// "Enabled" and the monitor's "PortName".
std::string InterfaceParametersKeyOf(const PrinterSpec& spec);
// "USB/<product>/<serial>"
std::string PortNameOf(const PrinterSpec& spec);

// Installs the printer as the maker's driver installation does: the device instance key below
// "Enum\USB", the interface below "DeviceClasses" with "SerialNumber", "Product" and "Enabled",
// the class instance with "InfPath", the interface class and "Vtxiod01" service keys, the
// model key with its setup values and a "PortName<n>" for the printer, and the driver files.
// A second printer of a model adds its own "PortName<n>" (the next free number).
void InstallPrinter(const PrinterSpec& spec);
// Only the driver files and the INF file (for machines made from a .reg fixture).
void InstallDriverFiles(const std::string& infPath = "OEM0.INF");

// Plugs a printer in (creating its device if it has none yet) or pulls it out. Handles open
// on a pulled printer fail from then on with ERROR_DEVICE_NOT_CONNECTED (1167), also after the
// printer is plugged in again.
void AttachPrinter(const std::string& serialOrInstance);
void DetachPrinter(const std::string& serialOrInstance);
bool IsPrinterAttached(const std::string& serialOrInstance);

// USB printer class port status: paper empty 0x20, selected 0x10, no error 0x08.
constexpr std::uint8_t kPaperEmpty = 0x20;
constexpr std::uint8_t kSelected = 0x10;
constexpr std::uint8_t kNoError = 0x08;
constexpr std::uint8_t kDefaultStatus = kSelected | kNoError;
// The status query answered by every printer: one byte out, the port status.
constexpr DWORD kStatusControl = 0x00182004;
// What a stalled write fails with: the driver's write time-out expired (ERROR_SEM_TIMEOUT).
constexpr DWORD kStallError = 121;

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
struct ControlCall {
    DWORD code;
    std::string input;
};
// Every device control the printer received, in order (the status query included).
std::vector<ControlCall> ReceivedControls(const std::string& serialOrInstance);
// Whether a handle (of any process) holds the printer open.
bool IsDeviceOpen(const std::string& serialOrInstance);

// What a printer is like now, for tools that show it.
struct PrinterState {
    std::string instance; // as first given
    bool attached = false;
    std::uint8_t status = kDefaultStatus;
    std::optional<std::uint64_t> stall; // bytes still accepted; none when not stalled
    std::uint64_t received = 0;         // bytes written to it since it was created
    bool open = false;                  // a handle holds it open
};
// Every simulated printer of the machine, plugged in or not, in no particular order.
std::vector<PrinterState> SimulatedPrinters();

// Device information lists from SetupDiGetClassDevsA not yet destroyed, in this process.
unsigned OpenDeviceInfoListCount();

} // namespace vtxsim
