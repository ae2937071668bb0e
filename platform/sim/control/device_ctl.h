// Control: plug in and control the simulated USB printers of the maker's driver.
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
