// What the maker's driver installation leaves on a machine for each printer: the registry keys
// of the device, its interface, its driver and its model, and the driver files. Windows does not
// know any of this; the tests, vtxlab, the benches and the fuzzers make their machines with it.
#pragma once

#include "platform/win32api.h"

#include <optional>
#include <string>

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
    bool ntInterfaceKey = false;         // the interface key named as Windows 2000 and Wine name it
                                 // ("##?#USB#VID_0D7A&PID_...#<serial>#{class}"), not numbered
    bool attached = true;    // plugged in after installation
    bool driverFiles = true; // put the driver files and the INF file on C:
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

// The model remainder as the product has it ("K9" of "Draftaire K9"), which names the model's
// keys; empty when there is none.
std::string ModelRemainder(const std::string& model);
// The maker's USB vendor id, "0D7A".
extern const char* const kMakerVendorId;
// "USB\VID_0D7A&PID_<productId>"
std::string HardwareIdOf(const PrinterSpec& spec);
// "USB\VID_0D7A&PID_<productId>\<serial>"
std::string DeviceInstanceOf(const PrinterSpec& spec);
// The printer's interface on this machine (the one whose "DeviceInstance" names its device;
// while it has none, the one its installation would make now):
// "\\.\0000000000000003#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}", or the NT form
// "\\?\usb#vid_0d7a&pid_<productId>#<serial>#{...}" of a key imported in that form.
std::string DevicePathOf(const PrinterSpec& spec);
// "HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\DeviceClasses\{...}\##.#<number>#{...}":
// the interface; deleting it makes the interface disappear.
std::string InterfaceKeyOf(const PrinterSpec& spec);
// The interface's own registry key below it ("#\Device Parameters"): "SerialNumber", "Product",
// "Enabled" and the monitor's "PortName".
std::string InterfaceParametersKeyOf(const PrinterSpec& spec);
// "USB/<product>/<serial>"
std::string PortNameOf(const PrinterSpec& spec);

// Installs the printer as the maker's driver installation does: the device instance key below
// "Enum\USB", the interface below "DeviceClasses" (its key kept when the device has one, else
// numbered by the machine) with "SerialNumber", "Product" and "Enabled",
// the class instance with "InfPath", the interface class and "Vtxiod01" service keys, the
// model key with its setup values and a "PortName<n>" for the printer, and the driver files.
// A second printer of a model adds its own "PortName<n>" (the next free number).
void InstallPrinter(const PrinterSpec& spec);
// Only the driver files and the INF file (for machines made from a .reg fixture).
void InstallDriverFiles(const std::string& infPath = "OEM0.INF");

} // namespace vtxsim
