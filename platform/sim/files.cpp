// KERNEL32 files: the drives of the machine, file handles with share modes, copy, delete,
// attributes, size and times, and where Windows lies.
#include "platform/sim/files.h"
#include "platform/sim/handles.h"
#include "platform/sim/case_folding.h"
#include "platform/sim/machine.h"
#include "platform/sim/simulated_call.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim {
namespace {

namespace fs = std::filesystem;

// What a fresh Windows 98 machine has on C:.
constexpr std::string_view FreshDirectories[] = {
    "C:\\WINDOWS\\SYSTEM",
    "C:\\WINDOWS\\SYSTEM32\\DRIVERS",
    "C:\\WINDOWS\\INF\\OTHER",
};

struct ParsedPath {
    char drive = 'c';
    std::vector<std::string> components;
};

bool IsBadNameCharacter(char c) {
    auto u = static_cast<unsigned char>(c);
    return u < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
}

// Splits a Windows path into drive and components, resolving "." and "..".
std::optional<ParsedPath> ParsePath(std::string_view path, DWORD* error) {
    ParsedPath parsed;
    if (path.empty()) {
        *error = ERROR_PATH_NOT_FOUND;
        return std::nullopt;
    }
    if (path.size() >= MAX_PATH) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return std::nullopt;
    }
    auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    if (path.size() >= 2 && path[1] == ':') {
        char letter = Fold1252(path[0]);
        if (letter < 'a' || letter > 'z') {
            *error = ERROR_INVALID_NAME;
            return std::nullopt;
        }
        parsed.drive = letter;
        path.remove_prefix(2);
    } else if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        *error = ERROR_PATH_NOT_FOUND; // network paths: the machine has no network
        return std::nullopt;
    }
    // A path without a drive is taken from the root of C:, the current directory of every
    // simulated process.
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !isSeparator(path[end]))
            end++;
        std::string component(path.substr(start, end - start));
        start = end + 1;
        if (component.empty() || component == ".")
            continue;
        if (component == "..") {
            if (!parsed.components.empty())
                parsed.components.pop_back();
            continue;
        }
        // Windows drops trailing dots and spaces of a name.
        while (!component.empty() && (component.back() == '.' || component.back() == ' '))
            component.pop_back();
        if (component.empty() ||
            std::any_of(component.begin(), component.end(), IsBadNameCharacter)) {
            *error = ERROR_INVALID_NAME;
            return std::nullopt;
        }
        parsed.components.push_back(std::move(component));
    }
    return parsed;
}

fs::path DriveDir(char drive) {
    return MachineDir() / (std::string("drive_") + drive);
}

// The entry of dir named name without regard to case (an exact match first), or nothing.
std::optional<std::string> FindEntry(const fs::path& dir, const std::string& name) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(dir / name, ec)))
        return name;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
        std::string candidate = entry.path().filename().string();
        if (SameText1252(candidate, name))
            return candidate;
    }
    return std::nullopt;
}

// Maps a parsed path to the host. With createParents, missing directories on the way are
// allowed (named as given) so that a caller can create them.
fs::path Resolve(const ParsedPath& parsed, bool createParents, DWORD* error) {
    fs::path host = DriveDir(parsed.drive);
    std::error_code ec;
    if (!createParents && !fs::is_directory(host, ec)) {
        *error = ERROR_PATH_NOT_FOUND;
        return {};
    }
    bool missing = false;
    for (size_t i = 0; i < parsed.components.size(); i++) {
        const std::string& name = parsed.components[i];
        bool last = i + 1 == parsed.components.size();
        std::optional<std::string> entry = missing ? std::nullopt : FindEntry(host, name);
        host /= entry ? *entry : name;
        if (!entry)
            missing = true;
        if (last)
            break;
        if (missing ? !createParents : !fs::is_directory(host, ec)) {
            *error = ERROR_PATH_NOT_FOUND;
            return {};
        }
    }
    *error = 0;
    return host;
}

fs::path ResolveForCreation(std::string_view windowsPath) {
    DWORD error = 0;
    std::optional<ParsedPath> parsed = ParsePath(windowsPath, &error);
    fs::path host = parsed ? Resolve(*parsed, true, &error) : fs::path();
    if (host.empty())
        throw std::invalid_argument("not a usable Windows path: " + std::string(windowsPath));
    return host;
}

void CreateFreshDrives() {
    for (std::string_view dir : FreshDirectories) {
        std::error_code ec;
        fs::create_directories(ResolveForCreation(dir), ec);
        if (ec)
            MachineFault("cannot create " + std::string(dir) + ": " + ec.message());
    }
}

void ResetDrives() {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(MachineDir(), ec)) {
        std::string name = entry.path().filename().string();
        if (name.size() == 7 && name.starts_with("drive_"))
            fs::remove_all(entry.path(), ec);
    }
    CreateFreshDrives();
}

void LoadDrives() {
    std::error_code ec;
    if (!fs::exists(DriveDir('c'), ec))
        CreateFreshDrives();
}

// A machine in memory starts afresh when the process switches to it; a persistent one keeps
// its drives on disk.
void ForgetDrives() {
    if (!IsPersistent())
        ResetDrives();
}

const bool registered = [] {
    AddStore({"files", LoadDrives, nullptr, ForgetDrives, ResetDrives});
    return true;
}();

// Files open in this process, for share-mode checks.
struct OpenFile {
    dev_t device;
    ino_t inode;
    DWORD access;
    DWORD share;
};

struct OpenFiles {
    std::mutex mutex;
    std::map<uint64_t, OpenFile> files;
    uint64_t next = 1;
};

OpenFiles& Opened() {
    static OpenFiles* opened = new OpenFiles; // used until exit
    return *opened;
}

constexpr DWORD DataAccess = GENERIC_READ | GENERIC_WRITE;

bool Conflicts(const OpenFile& open, DWORD access, DWORD share) {
    // Opens without data access (attributes only) take no part in sharing.
    if ((access & DataAccess) == 0 || (open.access & DataAccess) == 0)
        return false;
    return ((access & GENERIC_READ) && !(open.share & FILE_SHARE_READ)) ||
           ((access & GENERIC_WRITE) && !(open.share & FILE_SHARE_WRITE)) ||
           ((open.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
           ((open.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE));
}

template <typename Test> DWORD CheckOpenFiles(const fs::path& host, Test conflicts) {
    struct stat st {};
    if (stat(host.c_str(), &st) != 0)
        return 0;
    OpenFiles& o = Opened();
    std::lock_guard guard(o.mutex);
    for (const auto& [id, open] : o.files) {
        if (open.device == st.st_dev && open.inode == st.st_ino && conflicts(open))
            return ERROR_SHARING_VIOLATION;
    }
    return 0;
}

class FileObject : public KernelObject {
  public:
    FileObject(int fd, DWORD access, uint64_t openId) : fd_(fd), access_(access), id_(openId) {}
    ~FileObject() override { Release(); }

    DWORD Read(void* buffer, DWORD count, DWORD* done) override {
        *done = 0;
        if ((access_ & GENERIC_READ) == 0)
            return ERROR_ACCESS_DENIED;
        if (buffer == nullptr && count > 0)
            return ERROR_INVALID_USER_BUFFER;
        while (*done < count) {
            ssize_t n = ::read(fd_, static_cast<char*>(buffer) + *done, count - *done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return ERROR_READ_FAULT;
            if (n == 0)
                break; // end of file: success with fewer bytes
            *done += static_cast<DWORD>(n);
        }
        return 0;
    }

    DWORD Write(const void* buffer, DWORD count, DWORD* done) override {
        *done = 0;
        if ((access_ & GENERIC_WRITE) == 0)
            return ERROR_ACCESS_DENIED;
        if (buffer == nullptr && count > 0)
            return ERROR_INVALID_USER_BUFFER;
        while (*done < count) {
            ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + *done, count - *done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return ERROR_WRITE_FAULT;
            *done += static_cast<DWORD>(n);
        }
        return 0;
    }

    void Close() override { Release(); }
    int HostDescriptor() const override { return fd_; }

  private:
    void Release() {
        if (fd_ < 0)
            return;
        ::close(fd_);
        fd_ = -1;
        OpenFiles& o = Opened();
        std::lock_guard guard(o.mutex);
        o.files.erase(id_);
    }

    int fd_;
    DWORD access_;
    uint64_t id_;
};

void SetHostReadOnly(const fs::path& host, bool readOnly) {
    std::error_code ec;
    constexpr fs::perms write = fs::perms::owner_write | fs::perms::group_write;
    fs::permissions(host, write, readOnly ? fs::perm_options::remove : fs::perm_options::add, ec);
}

struct Target {
    fs::path host;
    DWORD error = 0;
    bool exists = false;
    bool directory = false;
};

Target Lookup(const char* windowsPath) {
    Target target;
    if (windowsPath == nullptr) {
        target.error = ERROR_PATH_NOT_FOUND;
        return target;
    }
    target.host = HostPathFor(windowsPath, &target.error);
    if (target.error != 0)
        return target;
    std::error_code ec;
    fs::file_status status = fs::status(target.host, ec);
    target.exists = fs::exists(status);
    target.directory = fs::is_directory(status);
    return target;
}

// The file or directory a call works on, which must exist: target.error is set otherwise.
Target LookupExisting(const char* windowsPath) {
    Target target = Lookup(windowsPath);
    if (target.error == 0 && !target.exists)
        target.error = ERROR_FILE_NOT_FOUND;
    return target;
}

// An open handle's host file: created or opened as the disposition says. Returns the fd or
// -1 with *error set; *existed tells whether the file was there before.
int OpenHost(const Target& target, DWORD access, DWORD disposition, DWORD* error, bool* existed) {
    *existed = target.exists;
    int flags = O_CLOEXEC;
    flags |= (access & GENERIC_WRITE) != 0 ? O_RDWR : O_RDONLY;
    switch (disposition) {
    case CREATE_NEW:
        if (target.exists) {
            *error = ERROR_FILE_EXISTS;
            return -1;
        }
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        if ((access & GENERIC_WRITE) == 0) {
            *error = ERROR_INVALID_PARAMETER;
            return -1;
        }
        flags |= O_TRUNC;
        break;
    default:
        *error = ERROR_INVALID_PARAMETER;
        return -1;
    }
    if (!target.exists && (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)) {
        *error = ERROR_FILE_NOT_FOUND;
        return -1;
    }
    if (target.directory) {
        *error = ERROR_ACCESS_DENIED;
        return -1;
    }
    bool writes = (access & GENERIC_WRITE) != 0 || disposition == CREATE_ALWAYS ||
                  disposition == TRUNCATE_EXISTING;
    if (target.exists && writes && IsReadOnly(target.host)) {
        *error = ERROR_ACCESS_DENIED;
        return -1;
    }
    int fd = ::open(target.host.c_str(), flags, 0644);
    if (fd < 0)
        *error = errno == EEXIST ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED;
    return fd;
}

std::string WindowsPathOf(const fs::path& driveDir, const fs::path& host) {
    // drive_c holds C:
    std::string text = UpperAscii(std::string(1, driveDir.filename().string().back()));
    text += ":";
    for (const fs::path& part : host.lexically_relative(driveDir))
        text += "\\" + part.string();
    return text;
}

} // namespace

fs::path HostPathFor(std::string_view windowsPath, DWORD* error) {
    DWORD ignored = 0;
    DWORD* result = error != nullptr ? error : &ignored;
    std::optional<ParsedPath> parsed = ParsePath(windowsPath, result);
    if (!parsed)
        return {};
    MachineLock lock;
    return Resolve(*parsed, false, result);
}

bool WindowsFileExists(std::string_view windowsPath) {
    DWORD error = 0;
    fs::path host = HostPathFor(windowsPath, &error);
    std::error_code ec;
    return !host.empty() && fs::exists(host, ec);
}

bool IsReadOnly(const fs::path& host) {
    struct stat st {};
    return stat(host.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

DWORD CheckSharing(const fs::path& host, DWORD access, DWORD share) {
    return CheckOpenFiles(host,
                          [&](const OpenFile& open) { return Conflicts(open, access, share); });
}

DWORD CheckNotOpen(const fs::path& host) {
    return CheckOpenFiles(host, [](const OpenFile&) { return true; });
}

} // namespace sim

using sim::Locking;
using sim::OnSuccess;

extern "C" {

// With CREATE_ALWAYS or OPEN_ALWAYS a file's success tells whether it was there; a device's
// does not. A device is opened without the machine lock: it takes the printer's own.
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE) {
    return sim::SimulatedCall<HANDLE>(
        {"CreateFileA", OnSuccess::LeavesLastError, INVALID_HANDLE_VALUE, Locking::ByBody},
        [&]() -> sim::CallResult<HANDLE> {
            if (lpFileName != nullptr && sim::IsDevicePath(lpFileName)) {
                DWORD error = ERROR_FILE_NOT_FOUND;
                std::shared_ptr<sim::KernelObject> device =
                    sim::OpenDevicePath(lpFileName, dwDesiredAccess, dwShareMode, &error);
                if (!device)
                    return sim::Fail(error);
                return sim::AddHandle(std::move(device));
            }
            sim::MachineLock lock;
            sim::Target target = sim::Lookup(lpFileName);
            if (target.error != 0)
                return sim::Fail(target.error);
            // Handles are only added under the machine lock, so nothing can slip in between
            // the check and the open.
            if (DWORD error = sim::CheckSharing(target.host, dwDesiredAccess, dwShareMode))
                return sim::Fail(error);
            DWORD error = 0;
            bool existed = false;
            int fd =
                sim::OpenHost(target, dwDesiredAccess, dwCreationDisposition, &error, &existed);
            if (fd < 0)
                return sim::Fail(error);
            if (!existed && (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) != 0)
                sim::SetHostReadOnly(target.host, true);
            struct stat st {};
            fstat(fd, &st);
            uint64_t id = 0;
            {
                sim::OpenFiles& opened = sim::Opened();
                std::lock_guard guard(opened.mutex);
                id = opened.next++;
                opened.files[id] = {st.st_dev, st.st_ino, dwDesiredAccess, dwShareMode};
            }
            HANDLE handle =
                sim::AddHandle(std::make_shared<sim::FileObject>(fd, dwDesiredAccess, id));
            if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS)
                return sim::SucceedSetting(handle, existed ? ERROR_ALREADY_EXISTS : 0);
            return handle;
        });
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    namespace fs = std::filesystem;
    return sim::SimulatedCall<BOOL>(
        {"CopyFileA", OnSuccess::LeavesLastError, FALSE}, [&]() -> sim::CallResult<BOOL> {
            sim::Target source = sim::LookupExisting(lpExistingFileName);
            if (source.error != 0)
                return sim::Fail(source.error);
            if (source.directory)
                return sim::Fail(ERROR_ACCESS_DENIED);
            if (DWORD error = sim::CheckSharing(source.host, GENERIC_READ, FILE_SHARE_READ))
                return sim::Fail(error);
            sim::Target dest = sim::Lookup(lpNewFileName);
            if (dest.error != 0)
                return sim::Fail(dest.error);
            if (dest.exists) {
                if (bFailIfExists)
                    return sim::Fail(ERROR_FILE_EXISTS);
                if (dest.directory || sim::IsReadOnly(dest.host))
                    return sim::Fail(ERROR_ACCESS_DENIED);
                std::error_code ec;
                // A file copied onto itself is open as its own source.
                if (fs::equivalent(source.host, dest.host, ec))
                    return sim::Fail(ERROR_SHARING_VIOLATION);
                if (DWORD error = sim::CheckNotOpen(dest.host))
                    return sim::Fail(error);
            }
            std::error_code ec;
            fs::copy_file(source.host, dest.host, fs::copy_options::overwrite_existing, ec);
            if (ec)
                return sim::Fail(ERROR_ACCESS_DENIED);
            // The copy takes the source's attributes, read-only included.
            sim::SetHostReadOnly(dest.host, sim::IsReadOnly(source.host));
            return TRUE;
        });
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    return sim::SimulatedCall<BOOL>({"DeleteFileA", OnSuccess::LeavesLastError, FALSE},
                                    [&]() -> sim::CallResult<BOOL> {
                                        sim::Target target = sim::LookupExisting(lpFileName);
                                        if (target.error != 0)
                                            return sim::Fail(target.error);
                                        if (target.directory || sim::IsReadOnly(target.host))
                                            return sim::Fail(ERROR_ACCESS_DENIED);
                                        if (DWORD error = sim::CheckNotOpen(target.host))
                                            return sim::Fail(error);
                                        std::error_code ec;
                                        if (!std::filesystem::remove(target.host, ec))
                                            return sim::Fail(ERROR_ACCESS_DENIED);
                                        return TRUE;
                                    });
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    return sim::SimulatedCall<DWORD>(
        {"GetFileAttributesA", OnSuccess::LeavesLastError, INVALID_FILE_ATTRIBUTES},
        [&]() -> sim::CallResult<DWORD> {
            sim::Target target = sim::LookupExisting(lpFileName);
            if (target.error != 0)
                return sim::Fail(target.error);
            if (target.directory)
                return FILE_ATTRIBUTE_DIRECTORY;
            // Only read-only is kept; every file counts as changed since the last backup.
            DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
            if (sim::IsReadOnly(target.host))
                attributes |= FILE_ATTRIBUTE_READONLY;
            return attributes;
        });
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
    return sim::SimulatedCall<BOOL>(
        {"SetFileAttributesA", OnSuccess::LeavesLastError, FALSE}, [&]() -> sim::CallResult<BOOL> {
            sim::Target target = sim::LookupExisting(lpFileName);
            if (target.error != 0)
                return sim::Fail(target.error);
            if (!target.directory)
                sim::SetHostReadOnly(target.host,
                                     (dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0);
            return TRUE;
        });
}

} // extern "C"

namespace sim {

namespace fs = std::filesystem;

fs::path HostPath(const std::string& windowsPath) {
    sim::MachineLock lock;
    return sim::ResolveForCreation(windowsPath);
}

void PutFile(const std::string& windowsPath, std::string_view contents) {
    sim::MachineLock lock;
    fs::path host = sim::ResolveForCreation(windowsPath);
    fs::create_directories(host.parent_path());
    sim::SetHostReadOnly(host, false);
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out)
        throw std::runtime_error("cannot write " + host.string());
}

std::optional<std::string> GetFileContents(const std::string& windowsPath) {
    sim::MachineLock lock;
    fs::path host = sim::ResolveForCreation(windowsPath);
    std::error_code ec;
    if (!fs::is_regular_file(host, ec))
        return std::nullopt;
    std::ifstream in(host, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool FileExists(const std::string& windowsPath) {
    sim::MachineLock lock;
    std::error_code ec;
    return fs::exists(sim::ResolveForCreation(windowsPath), ec);
}

void SetReadOnly(const std::string& windowsPath, bool readOnly) {
    sim::MachineLock lock;
    fs::path host = sim::ResolveForCreation(windowsPath);
    if (!fs::exists(host))
        throw std::invalid_argument("no such file: " + windowsPath);
    sim::SetHostReadOnly(host, readOnly);
}

void MakeDirectory(const std::string& windowsPath) {
    sim::MachineLock lock;
    fs::create_directories(sim::ResolveForCreation(windowsPath));
}

std::vector<std::string> FileTree() {
    sim::MachineLock lock;
    std::vector<std::string> tree;
    for (char drive = 'a'; drive <= 'z'; drive++) {
        fs::path driveDir = sim::DriveDir(drive);
        std::error_code ec;
        if (!fs::is_directory(driveDir, ec))
            continue;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(driveDir))
            tree.push_back(sim::WindowsPathOf(driveDir, entry.path()));
    }
    std::sort(tree.begin(), tree.end());
    return tree;
}

} // namespace sim

extern "C" {

// A size of 0xFFFFFFFF is told from a failure by the last error, so success clears it.
DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    return sim::SimulatedCall<DWORD>(
        {"GetFileSize", OnSuccess::ClearsLastError, INVALID_FILE_SIZE, Locking::ByBody},
        [&]() -> sim::CallResult<DWORD> {
            std::shared_ptr<sim::KernelObject> object = sim::FindHandle(hFile);
            struct stat st {};
            if (!object || object->HostDescriptor() < 0 ||
                fstat(object->HostDescriptor(), &st) != 0)
                return sim::Fail(ERROR_INVALID_HANDLE);
            uint64_t size = static_cast<uint64_t>(st.st_size);
            if (lpFileSizeHigh != nullptr)
                *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
            return static_cast<DWORD>(size);
        });
}

BOOL WINAPI GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                        LPFILETIME lpLastWriteTime) {
    return sim::SimulatedCall<BOOL>(
        {"GetFileTime", OnSuccess::LeavesLastError, FALSE, Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            std::shared_ptr<sim::KernelObject> object = sim::FindHandle(hFile);
            struct stat st {};
            if (!object || object->HostDescriptor() < 0 ||
                fstat(object->HostDescriptor(), &st) != 0)
                return sim::Fail(ERROR_INVALID_HANDLE);
            // 100 ns units since 1601-01-01; the host keeps no creation time, so it is the last
            // write.
            constexpr uint64_t kUnixEpoch = 116444736000000000ULL;
            uint64_t written = kUnixEpoch + static_cast<uint64_t>(st.st_mtim.tv_sec) * 10000000ULL +
                               static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
            uint64_t accessed = kUnixEpoch +
                                static_cast<uint64_t>(st.st_atim.tv_sec) * 10000000ULL +
                                static_cast<uint64_t>(st.st_atim.tv_nsec) / 100;
            auto store = [](LPFILETIME out, uint64_t time) {
                if (out != nullptr)
                    *out = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
            };
            store(lpCreationTime, written);
            store(lpLastAccessTime, accessed);
            store(lpLastWriteTime, written);
            return TRUE;
        });
}

} // extern "C"

namespace {

// The length without the terminator when it fits; the size it takes, terminator included,
// when it does not (the buffer is then left alone).
UINT CopyDirectory(std::string_view directory, LPSTR buffer, UINT size) {
    if (buffer == nullptr || size <= directory.size())
        return static_cast<UINT>(directory.size() + 1);
    directory.copy(buffer, directory.size());
    buffer[directory.size()] = '\0';
    return static_cast<UINT>(directory.size());
}

} // namespace

extern "C" {

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return CopyDirectory(sim::WindowsDirectory, lpBuffer, uSize);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return CopyDirectory(sim::SystemDirectory, lpBuffer, uSize);
}

} // extern "C"
