// The simulated USB printers of the maker's driver: device state in the machine directory,
// the exclusive device handle behind "\\?\usb#..." paths, and the test controls.
//
// Each printer is a directory <machine>/devices/<instance>/ holding small files, so that every
// process of the machine sees the same printer:
//   instance    the device instance as given ("USB\VID_0D7A&PID_0042\AB12")
//   generation  counts the times the printer was plugged in
//   attached    present while plugged in; holds the generation it was plugged in as
//   status      the port status byte, decimal
//   received    everything written to the printer
//   replies     bytes waiting for the next reads
//   stall       present while stalled: how many more bytes the printer accepts
//   controls    the test's answers to device controls: "<code> <error> <hex bytes>" per line
//   calls       every device control received: "<code> <hex input>" per line
//   lock-<generation>  held with flock(LOCK_EX) by the one open handle of the printer as
//               plugged in that time; the kernel lets go of it when the holding process dies
//   busy        held with flock(LOCK_EX) while a call reads or changes these files
//
// A printer's files are its own: a call through its handle takes the printer's lock only, not
// the machine's, so that writes to different printers go on side by side, as the spooler's
// threads write to different ports. The test controls take the machine's lock first.
#include "platform/sim/case_folding.h"
#include "platform/sim/devices.h"
#include "platform/sim/handles.h"
#include "platform/sim/machine.h"
#include "platform/sim/object_file_name.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace sim {
namespace {

constexpr DWORD kErrorNoAccess = 998; // a bad user buffer, as the kernel's probe reports it

fs::path DevicesDir() {
    return MachineDir() / "devices";
}

// Instances are matched without regard to case: the directory name is the instance in upper
// case, "\" turned into "#".
std::string DirNameFor(std::string_view instance) {
    return ObjectFileName(UpperAscii(instance), "_&-.", '#');
}

fs::path DeviceDir(std::string_view instance) {
    return DevicesDir() / DirNameFor(instance);
}

// Plain system calls: every write to a printer reads and appends through these.
std::optional<std::string> ReadWhole(const fs::path& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    char chunk[4096];
    ssize_t got = 0;
    while ((got = read(fd, chunk, sizeof chunk)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0)
            text.append(chunk, static_cast<size_t>(got));
    }
    close(fd);
    if (got < 0)
        return std::nullopt;
    return text;
}

std::string ReadOr(const fs::path& path, const std::string& fallback) {
    return ReadWhole(path).value_or(fallback);
}

std::uint64_t ReadNumber(const fs::path& path, std::uint64_t fallback) {
    std::optional<std::string> text = ReadWhole(path);
    if (!text || text->empty())
        return fallback;
    try {
        return std::stoull(*text);
    } catch (const std::exception&) {
        MachineFault("corrupt device state file " + path.string());
    }
}

void AppendTo(const fs::path& path, std::string_view bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    bool whole = fd >= 0;
    while (whole && !bytes.empty()) {
        ssize_t done = write(fd, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR)
            continue;
        whole = done > 0;
        if (whole)
            bytes.remove_prefix(static_cast<size_t>(done));
    }
    if (fd >= 0)
        close(fd);
    if (!whole)
        MachineFault("cannot append to " + path.string());
}

void RemoveFile(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

std::string HexOf(const std::string& bytes) {
    static const char* const hex = "0123456789abcdef";
    if (bytes.empty())
        return "-";
    std::string text;
    for (unsigned char c : bytes) {
        text += hex[c >> 4];
        text += hex[c & 15];
    }
    return text;
}

std::string BytesOfHex(const std::string& text) {
    std::string bytes;
    if (text == "-")
        return bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        unsigned value = 0;
        const char* first = text.data() + i;
        if (std::from_chars(first, first + 2, value, 16).ptr != first + 2)
            MachineFault("corrupt device state: " + text);
        bytes += static_cast<char>(value);
    }
    return bytes;
}

// The device API paths must not throw: a host error reads as "no such file".
bool Exists(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

// One printer's lock: a mutex for this process's threads, flock on "busy" for the other
// processes of the machine. Taken after the machine lock when both are needed, never before.
class DeviceLock {
  public:
    explicit DeviceLock(const fs::path& dir) : mutex_(MutexOf(dir)) {
        mutex_.lock();
        // Opened each time: a reset machine removes the directory with the file in it.
        fd_ = open((dir / "busy").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~DeviceLock() {
        if (fd_ >= 0)
            close(fd_); // lets go of the flock
        mutex_.unlock();
    }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

  private:
    static std::mutex& MutexOf(const fs::path& dir) {
        static std::mutex* guard = new std::mutex; // both used until exit
        static auto* mutexes = new std::map<std::string, std::unique_ptr<std::mutex>>;
        std::lock_guard hold(*guard);
        std::unique_ptr<std::mutex>& mutex = (*mutexes)[dir.string()];
        if (!mutex)
            mutex = std::make_unique<std::mutex>();
        return *mutex;
    }

    std::mutex& mutex_;
    int fd_ = -1;
};

struct ControlReply {
    DWORD error = 0;
    std::string bytes;
};

std::optional<ControlReply> FindControlReply(const fs::path& dir, DWORD code) {
    std::istringstream lines(ReadOr(dir / "controls", ""));
    std::optional<ControlReply> found;
    DWORD lineCode = 0;
    DWORD error = 0;
    std::string hex;
    while (lines >> lineCode >> error >> hex) {
        if (lineCode == code)
            found = ControlReply{error, BytesOfHex(hex)}; // the last answer set wins
    }
    return found;
}

// Whether the printer's "attached" file (attachedFile) holds generation.
bool IsAttachedAs(const fs::path& attachedFile, const std::string& generation) {
    std::optional<std::string> attached = ReadWhole(attachedFile);
    return attached && *attached == generation;
}

// The device behind one successful CreateFileA of a printer's path.
class PrinterHandle : public KernelObject {
  public:
    PrinterHandle(fs::path dir, std::string generation, DWORD access, int lockFd)
        : dir_(std::move(dir)), attached_(dir_ / "attached"), stall_(dir_ / "stall"),
          received_(dir_ / "received"), generation_(std::move(generation)), access_(access),
          lockFd_(lockFd) {}
    ~PrinterHandle() override { Release(); }
    PrinterHandle(const PrinterHandle&) = delete;
    PrinterHandle& operator=(const PrinterHandle&) = delete;

    DWORD Read(void* buffer, DWORD count, DWORD* done) override {
        *done = 0;
        DeviceLock lock(dir_);
        if (std::optional<DWORD> early = Refusal(GENERIC_READ, buffer, count))
            return *early;
        std::string queued = ReadOr(dir_ / "replies", "");
        size_t taken = std::min<size_t>(count, queued.size());
        std::copy_n(queued.data(), taken, static_cast<char*>(buffer));
        if (taken > 0)
            WriteMachineFile(dir_ / "replies", queued.substr(taken));
        *done = static_cast<DWORD>(taken);
        return 0;
    }

    DWORD Write(const void* buffer, DWORD count, DWORD* done) override {
        *done = 0;
        DeviceLock lock(dir_);
        if (std::optional<DWORD> early = Refusal(GENERIC_WRITE, buffer, count))
            return *early;
        DWORD accepted = count;
        if (Exists(stall_)) {
            std::uint64_t remaining = ReadNumber(stall_, 0);
            accepted = static_cast<DWORD>(std::min<std::uint64_t>(count, remaining));
            if (accepted == 0)
                return vtxsim::kStallError;
            WriteMachineFile(stall_, std::to_string(remaining - accepted));
        }
        AppendTo(received_, std::string_view(static_cast<const char*>(buffer), accepted));
        *done = accepted;
        return 0;
    }

    DWORD IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                    DWORD* returned) override {
        *returned = 0;
        DeviceLock lock(dir_);
        if (!IsAttachedAs(attached_, generation_))
            return ERROR_DEVICE_NOT_CONNECTED;
        std::string input;
        if (in != nullptr)
            input.assign(static_cast<const char*>(in), inSize);
        AppendTo(dir_ / "calls", std::to_string(code) + " " + HexOf(input) + "\n");
        if (std::optional<ControlReply> reply = FindControlReply(dir_, code))
            return Answer(*reply, out, outSize, returned);
        if (code == vtxsim::kStatusControl) {
            std::string status(
                1, static_cast<char>(ReadNumber(dir_ / "status", vtxsim::kDefaultStatus)));
            return Answer(ControlReply{0, status}, out, outSize, returned);
        }
        return ERROR_INVALID_FUNCTION; // the driver knows no such request
    }

    void Close() override { Release(); }

  private:
    static DWORD Answer(const ControlReply& reply, void* out, DWORD outSize, DWORD* returned) {
        if (reply.error != 0)
            return reply.error;
        if (reply.bytes.empty())
            return 0;
        if (out == nullptr || outSize < reply.bytes.size())
            return ERROR_INSUFFICIENT_BUFFER;
        std::copy(reply.bytes.begin(), reply.bytes.end(), static_cast<char*>(out));
        *returned = static_cast<DWORD>(reply.bytes.size());
        return 0;
    }

    // What a read or write returns before it touches the device: an error, 0 for nothing to
    // transfer, or nothing when the transfer goes ahead. The caller holds the machine lock.
    std::optional<DWORD> Refusal(DWORD right, const void* buffer, DWORD count) const {
        if ((access_ & right) == 0)
            return ERROR_ACCESS_DENIED;
        if (!IsAttachedAs(attached_, generation_))
            return ERROR_DEVICE_NOT_CONNECTED;
        if (count == 0)
            return 0;
        if (buffer == nullptr)
            return kErrorNoAccess;
        return std::nullopt;
    }

    void Release() {
        if (lockFd_ >= 0)
            close(lockFd_); // lets go of the exclusive lock
        lockFd_ = -1;
    }

    fs::path dir_;
    fs::path attached_; // the files every write reads or changes
    fs::path stall_;
    fs::path received_;
    std::string generation_;
    DWORD access_;
    int lockFd_;
};

fs::path LockFile(const fs::path& dir, const std::string& generation) {
    return dir / ("lock-" + generation);
}

// Takes the exclusive lock of a device; -1 with *error set when it cannot.
int TakeDeviceLock(const fs::path& lockFile, DWORD* error) {
    int fd = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = ERROR_GEN_FAILURE;
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *error = errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : ERROR_GEN_FAILURE;
        close(fd);
        return -1;
    }
    return fd;
}

bool LockHeld(const fs::path& lockFile) {
    int fd = open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd); // also lets go of the lock taken for the test
    return held;
}

// Whether any handle holds the printer open, as plugged in now or earlier.
bool AnyLockHeld(const fs::path& dir) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
        if (entry.path().filename().string().starts_with("lock-") && LockHeld(entry.path()))
            return true;
    }
    return false;
}

const bool registered = [] {
    AddStore(Store{"devices", nullptr, nullptr, nullptr, [] {
                       std::error_code ignored;
                       fs::remove_all(DevicesDir(), ignored);
                   }});
    return true;
}();

// --- Naming a printer in the test controls ---

std::string LastComponent(std::string_view instance) {
    size_t slash = instance.rfind('\\');
    return std::string(slash == std::string_view::npos ? instance : instance.substr(slash + 1));
}

std::optional<std::string> InstanceOfSerial(const std::string& serial) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(DevicesDir(), ec)) {
        std::optional<std::string> instance = ReadWhole(entry.path() / "instance");
        if (instance && SameAscii(LastComponent(*instance), serial))
            return instance;
    }
    for (const InterfaceRecord& record : ListInterfaces(nullptr)) {
        if (SameAscii(LastComponent(record.deviceInstance), serial))
            return record.deviceInstance;
    }
    return std::nullopt;
}

// The device instance named by a serial number or an instance; throws when there is none.
std::string ResolveInstance(const std::string& serialOrInstance) {
    if (serialOrInstance.find('\\') != std::string::npos)
        return serialOrInstance;
    if (std::optional<std::string> instance = InstanceOfSerial(serialOrInstance))
        return *instance;
    throw std::invalid_argument("no simulated printer with serial number " + serialOrInstance);
}

// The printer's directory, made (with the printer unplugged) when it has none yet.
fs::path EnsureDevice(const std::string& instance) {
    fs::path dir = DeviceDir(instance);
    if (!fs::exists(dir / "instance")) {
        fs::create_directories(dir);
        WriteMachineFile(dir / "instance", instance);
    }
    return dir;
}

fs::path DeviceOf(const std::string& serialOrInstance) {
    return EnsureDevice(ResolveInstance(serialOrInstance));
}

} // namespace

bool DeviceAttached(std::string_view deviceInstance) {
    MachineLock lock;
    return Exists(DeviceDir(deviceInstance) / "attached");
}

bool IsDevicePath(std::string_view name) {
    return name.starts_with("\\\\.\\") || name.starts_with("\\\\?\\");
}

std::shared_ptr<KernelObject> OpenDevicePath(const std::string& path, DWORD access, DWORD,
                                             DWORD* error) {
    // The printer is exclusive whatever share mode is asked for: its driver admits one client.
    MachineLock lock;
    std::optional<std::string> instance = InstanceOfDevicePath(path, kPrinterInterfaceClass);
    if (!instance) {
        *error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    fs::path dir = DeviceDir(*instance);
    std::optional<std::string> generation = ReadWhole(dir / "attached");
    if (!generation) {
        *error = ERROR_FILE_NOT_FOUND; // unplugged or unknown
        return nullptr;
    }
    int fd = TakeDeviceLock(LockFile(dir, *generation), error);
    if (fd < 0)
        return nullptr;
    return std::make_shared<PrinterHandle>(dir, *generation, access, fd);
}

using vtxsim::ControlCall;
using vtxsim::PrinterState;

void AttachPrinter(const std::string& serialOrInstance) {
    sim::MachineLock lock;
    fs::path dir = sim::DeviceOf(serialOrInstance);
    sim::DeviceLock device(dir);
    if (sim::Exists(dir / "attached"))
        return;
    std::string generation = std::to_string(sim::ReadNumber(dir / "generation", 0) + 1);
    sim::WriteMachineFile(dir / "generation", generation);
    sim::WriteMachineFile(dir / "attached", generation);
}

void DetachPrinter(const std::string& serialOrInstance) {
    sim::MachineLock lock;
    fs::path dir = sim::DeviceOf(serialOrInstance);
    sim::DeviceLock device(dir);
    // A handle still open on the pulled printer keeps its generation's lock; the printer plugged
    // in again is a new device object with a lock of its own, as on Windows.
    sim::RemoveFile(dir / "attached");
    // Pulling the cable resets the printer: plugged in again, it takes data from the start.
    // Unless it is out of paper: that cause is still there when it comes back.
    if ((sim::ReadNumber(dir / "status", vtxsim::kDefaultStatus) & vtxsim::kPaperEmpty) == 0)
        sim::RemoveFile(dir / "stall");
}

bool IsPrinterAttached(const std::string& serialOrInstance) {
    sim::MachineLock lock;
    return sim::Exists(sim::DeviceOf(serialOrInstance) / "attached");
}

void SetStatusByte(const std::string& serialOrInstance, std::uint8_t status) {
    sim::MachineLock lock;
    fs::path dir = sim::DeviceOf(serialOrInstance);
    sim::DeviceLock device(dir);
    sim::WriteMachineFile(dir / "status", std::to_string(status));
}

void QueueReply(const std::string& serialOrInstance, const std::string& bytes) {
    sim::MachineLock lock;
    fs::path dir = sim::DeviceOf(serialOrInstance);
    sim::DeviceLock device(dir);
    sim::AppendTo(dir / "replies", bytes);
}

std::string ReceivedData(const std::string& serialOrInstance) {
    sim::MachineLock lock;
    fs::path dir = sim::DeviceOf(serialOrInstance);
    sim::DeviceLock device(dir);
    return sim::ReadOr(dir / "received", "");
}

void ClearReceivedData(const std::string& serialOrInstance) {
    sim::MachineLock lock;
    fs::path dir = sim::DeviceOf(serialOrInstance);
    sim::DeviceLock device(dir);
    sim::RemoveFile(dir / "received");
}

void SetStall(const std::string& serialOrInstance, std::uint64_t remaining) {
    sim::MachineLock lock;
    fs::path dir = sim::DeviceOf(serialOrInstance);
    sim::DeviceLock device(dir);
    sim::WriteMachineFile(dir / "stall", std::to_string(remaining));
}

void ClearStall(const std::string& serialOrInstance) {
    sim::MachineLock lock;
    fs::path dir = sim::DeviceOf(serialOrInstance);
    sim::DeviceLock device(dir);
    sim::RemoveFile(dir / "stall");
}

void SetControlReply(const std::string& serialOrInstance, DWORD code, const std::string& bytes,
                     DWORD error) {
    sim::MachineLock lock;
    fs::path dir = sim::DeviceOf(serialOrInstance);
    sim::DeviceLock device(dir);
    sim::AppendTo(dir / "controls", std::to_string(code) + " " + std::to_string(error) + " " +
                                        sim::HexOf(bytes) + "\n");
}

std::vector<ControlCall> ReceivedControls(const std::string& serialOrInstance) {
    sim::MachineLock lock;
    fs::path dir = sim::DeviceOf(serialOrInstance);
    sim::DeviceLock device(dir);
    std::istringstream lines(sim::ReadOr(dir / "calls", ""));
    std::vector<ControlCall> calls;
    DWORD code = 0;
    std::string hex;
    while (lines >> code >> hex)
        calls.push_back(ControlCall{code, sim::BytesOfHex(hex)});
    return calls;
}

std::vector<PrinterState> SimulatedPrinters() {
    sim::MachineLock lock;
    std::vector<PrinterState> printers;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(sim::DevicesDir(), ec)) {
        std::optional<std::string> instance = sim::ReadWhole(entry.path() / "instance");
        if (!instance)
            continue;
        PrinterState state;
        state.instance = *instance;
        state.attached = sim::Exists(entry.path() / "attached");
        state.status = static_cast<std::uint8_t>(
            sim::ReadNumber(entry.path() / "status", vtxsim::kDefaultStatus));
        if (sim::Exists(entry.path() / "stall"))
            state.stall = sim::ReadNumber(entry.path() / "stall", 0);
        state.received = fs::file_size(entry.path() / "received", ec);
        if (ec)
            state.received = 0;
        state.open = sim::AnyLockHeld(entry.path());
        printers.push_back(std::move(state));
    }
    return printers;
}

bool IsDeviceOpen(const std::string& serialOrInstance) {
    sim::MachineLock lock;
    return sim::AnyLockHeld(sim::DeviceOf(serialOrInstance));
}

} // namespace sim
