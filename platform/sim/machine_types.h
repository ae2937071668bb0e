// The small types the simulated machine and its controls (control/) both name: what the machine
// is set to, what its registry text reader reports, and the records it keeps of what happened
// on it. The machine's own settings and registry types are in namespace sim, where its code
// names them; the records the controls hand out keep the controls' namespace, vtxsim, in which
// their callers name them.
#pragma once

#include "platform/monitor9x.h"
#include "platform/win32api.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace sim {

enum class WindowsVersion { Win95, Win98, WinMe, WinNt4, Win2000 };
// Creation order is Windows 98's (see settings.h); sorted is Wine's (names compared with A-Z
// folded to lower case, a name before every longer name it begins).
enum class EnumerationOrder { Creation, Sorted };

// HKEY_USERS and HKEY_CLASSES_ROOT are kept as trees of their own (not as the aliases Windows
// makes of them) so that a registry exported from a real machine loads and exports again; the
// Reg* functions do not open them, since the product reads HKEY_LOCAL_MACHINE only.
enum class RegRoot { LocalMachine, CurrentUser, Users, ClassesRoot };
// Every root the machine keeps.
inline constexpr RegRoot kRegRoots[] = {RegRoot::LocalMachine, RegRoot::CurrentUser, RegRoot::Users,
                                        RegRoot::ClassesRoot};

// Why a registry text could not be read, for the words of what to ask its sender for.
enum class Regedit4Fault {
    Malformed,   // a line that is no REGEDIT4
    Empty,       // nothing but blanks
    NotAnExport, // its first line is no header of a registry export
    CutShort,    // it ends inside a value or a hex list
};

// "<source>:<line>: <what>".
class Regedit4Error : public std::runtime_error {
  public:
    Regedit4Error(const std::string& what, Regedit4Fault fault, unsigned line)
        : std::runtime_error(what), fault_(fault), line_(line) {}
    Regedit4Fault Fault() const { return fault_; }
    unsigned Line() const { return line_; }

  private:
    Regedit4Fault fault_;
    unsigned line_;
};

// Where a key or value stands in a registry text: its line (1 is the header) and its name as
// spelled there: the key's path from its root ("HKEY_LOCAL_MACHINE\Enum\USB\..."), the value's
// name ("" for the default value).
struct Regedit4Place {
    unsigned line = 0;
    std::string spelling;
};

// One "[key]" section of REGEDIT4 text as the machine writes it: the key's path, and each value
// as its name as written ("@" or "\"name\"") and its data as written, hex data on one line.
struct Regedit4Section {
    std::string key; // "HKEY_LOCAL_MACHINE\..."
    std::vector<std::pair<std::string, std::string>> values;
};

// The outcome of replacing a file through a temporary beside it and a rename.
struct AtomicWrite {
    enum class Step { Done, Writing, Replacing };
    Step failed = Step::Done;        // the step that failed, if any
    std::filesystem::path temporary; // the file the bytes went to first
    std::error_code error;           // why the rename failed (Step::Replacing)
};

} // namespace sim

namespace vtxsim {

// A program start: the maker's programs are not run; each start is a record in the journal of
// the machine directory.
struct ProcessStart {
    std::string source;           // "CreateProcessA", or "RunOnce" for a start at restart
    std::string application;      // as given, or as found from the command line
    std::string commandLine;      // as given
    std::string currentDirectory; // as given; empty for none
    DWORD creationFlags = 0;
    DWORD startupInfoSize = 0; // the STARTUPINFOA's cb
    bool started = false;      // the application file existed
    DWORD processId = 0;
};

enum class RestartStepKind {
    Moved,          // a RENAME entry "<path>=<source>": source moved over path
    Deleted,        // a RENAME entry "NUL=<path>": path deleted
    Skipped,        // a RENAME entry that could not be carried out; detail says why
    SectionRemoved, // wininit.ini renamed to wininit.bak
    RunOnce,        // a RunOnce value: its command line (source) started and the value removed
};

struct RestartStep {
    RestartStepKind kind = RestartStepKind::Skipped;
    std::string path;   // destination, deleted file, wininit.ini, or the RunOnce value's name
    std::string source; // moved file, or the RunOnce command line
    std::string detail;
};

enum class WindowEventKind {
    ClassRegistered,   // RegisterClassA succeeded
    WindowCreated,     // CreateWindowExA made the window (before WM_CREATE is sent)
    MessageSent,       // a message given to the window procedure inside an API call
    MessageDispatched, // a posted message given to the window procedure by DispatchMessageA
    MessagePosted,     // PostMessageA queued a message
    QuitPosted,        // PostQuitMessage; wParam is the exit code
    WindowShown,       // ShowWindow; wParam is nCmdShow
    WindowDestroyed,   // the window is gone (after its WM_DESTROY)
};

struct WindowEvent {
    WindowEventKind kind = WindowEventKind::ClassRegistered;
    HWND hwnd = nullptr;
    std::string className;  // ClassRegistered, WindowCreated
    std::string windowName; // WindowCreated
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0; // the procedure's result (MessageSent, MessageDispatched)
    // ClassRegistered: the fields as given; lpszMenuName and lpszClassName are not kept.
    WNDCLASSA windowClass{};
    std::string menuName; // "#<id>" for a resource number
    // WindowCreated: the creation arguments.
    DWORD exStyle = 0;
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    HWND parent = nullptr;
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    LPVOID param = nullptr;
};

// USB printer class port status: paper empty 0x20, selected 0x10, no error 0x08.
constexpr std::uint8_t kPaperEmpty = 0x20;
constexpr std::uint8_t kSelected = 0x10;
constexpr std::uint8_t kNoError = 0x08;
constexpr std::uint8_t kDefaultStatus = kSelected | kNoError;
// The status query answered by every printer: one byte out, the port status.
constexpr DWORD kStatusControl = 0x00182004;
// What a stalled write fails with: the driver's write time-out expired (ERROR_SEM_TIMEOUT).
constexpr DWORD kStallError = 121;

struct ControlCall {
    DWORD code;
    std::string input;
};

// What a simulated printer is like now.
struct PrinterState {
    std::string instance; // as first given
    bool attached = false;
    std::uint8_t status = kDefaultStatus;
    std::optional<std::uint64_t> stall; // bytes still accepted; none when not stalled
    std::uint64_t received = 0;         // bytes written to it since it was created
    bool open = false;                  // a handle holds it open
};

// "System\CurrentControlSet\Control\Print\Monitors" and "...\Printers" below
// HKEY_LOCAL_MACHINE.
inline constexpr const char* kMonitorsKeyPath =
    "System\\CurrentControlSet\\Control\\Print\\Monitors";
inline constexpr const char* kPrintersKeyPath =
    "System\\CurrentControlSet\\Control\\Print\\Printers";

// One registered instance of a port monitor and the outcome of its InitializeMonitorEx.
struct MonitorInstance {
    std::string name;         // the instance's key name
    std::string registryRoot; // "System\CurrentControlSet\Control\Print\Monitors\<name>"
    bool called = false;      // InitializeMonitorEx was reached
    BOOL result = FALSE;
    DWORD lastError = 0; // the calling thread's last error after the call (set to 0 before)
    MONITOR table{};     // the 13 slots as the monitor filled them (zero before the call)
};

// A port as EnumPorts listed it (level 1 fills name only).
struct PortInfo {
    std::string name;
    std::string monitor;
    std::string description;
    DWORD type = 0;
    DWORD reserved = 0;
};

struct EnumPortsResult {
    BOOL ok = FALSE;
    DWORD error = 0;        // last error after the failing call
    DWORD needed = 0;       // pcbNeeded of the size query
    DWORD returned = 0;     // pcReturned of the call that filled the buffer
    bool wellFormed = true; // every record and string lies inside the buffer
    std::vector<PortInfo> ports;
};

} // namespace vtxsim
