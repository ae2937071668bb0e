// A stand-in for the part of the Windows 9x spooler that loads port monitors: one library per
// DLL name, loaded once, and InitializeMonitorEx called for each registered instance with that
// instance's registry root, possibly from several threads at once.
#include "platform/sim/monitor_host.h"

#include "platform/sim/case_folding.h"
#include "platform/sim/spooler.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <latch>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace sim {

using vtxsim::EnumPortsResult;
using vtxsim::MonitorInstance;
using vtxsim::PortInfo;

namespace {

struct LibraryState {
    std::mutex mutex;
    std::filesystem::path dir;
    bool dirChosen = false;
    std::map<std::string, void*> loaded; // library path -> dlopen handle, never closed
};

LibraryState& Libraries() {
    static LibraryState* state = new LibraryState; // used until exit, like the libraries
    return *state;
}

// The file part of a Windows path: after the last backslash, slash or drive colon.
std::string_view FilePart(std::string_view path) {
    size_t cut = path.find_last_of("\\/:");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

bool SameDll(std::string_view a, std::string_view b) {
    return sim::FoldAscii(FilePart(a)) == sim::FoldAscii(FilePart(b));
}

// The library's entry, loading the library when this process has not yet done so.
INITIALIZEMONITOREX LoadEntry(const std::filesystem::path& library, std::string* error) {
    LibraryState& s = Libraries();
    std::lock_guard guard(s.mutex);
    auto it = s.loaded.find(library.string());
    if (it == s.loaded.end()) {
        void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* reason = dlerror();
            *error = "cannot load " + library.string() + ": " + (reason ? reason : "unknown");
            return nullptr;
        }
        it = s.loaded.emplace(library.string(), handle).first;
    }
    void* entry = dlsym(it->second, "InitializeMonitorEx");
    if (entry == nullptr) {
        *error = library.string() + " does not export InitializeMonitorEx";
        return nullptr;
    }
    INITIALIZEMONITOREX function = nullptr;
    static_assert(sizeof(function) == sizeof(entry));
    std::memcpy(&function, &entry, sizeof(function));
    return function;
}

void CallEntry(INITIALIZEMONITOREX entry, MonitorInstance& instance) {
    instance.table = MONITOR{};
    SetLastError(0);
    instance.result = entry(instance.registryRoot.data(), &instance.table);
    instance.lastError = GetLastError();
    instance.called = true;
}

void CallAll(INITIALIZEMONITOREX entry, std::vector<MonitorInstance>& instances, bool parallel) {
    if (!parallel) {
        for (MonitorInstance& instance : instances)
            CallEntry(entry, instance);
        return;
    }
    std::latch start(static_cast<std::ptrdiff_t>(instances.size()));
    std::vector<std::thread> threads;
    threads.reserve(instances.size());
    for (MonitorInstance& instance : instances) {
        threads.emplace_back([&start, entry, &instance] {
            start.arrive_and_wait();
            CallEntry(entry, instance);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
}

// Reads a PORT_INFO string: NULL stays empty; a pointer outside the buffer or a string without
// its terminator inside it makes the result malformed.
std::string BufferString(LPSTR text, const std::vector<BYTE>& buffer, bool* wellFormed) {
    if (text == nullptr)
        return {};
    const BYTE* begin = buffer.data();
    const BYTE* end = begin + buffer.size();
    const BYTE* at = reinterpret_cast<const BYTE*>(text);
    if (at < begin || at >= end) {
        *wellFormed = false;
        return {};
    }
    const BYTE* stop = std::find(at, end, BYTE{0});
    if (stop == end) {
        *wellFormed = false;
        return {};
    }
    return std::string(reinterpret_cast<const char*>(at), reinterpret_cast<const char*>(stop));
}

void ParsePorts(DWORD level, const std::vector<BYTE>& buffer, EnumPortsResult& result) {
    size_t record = level == 1 ? sizeof(PORT_INFO_1A) : sizeof(PORT_INFO_2A);
    if (static_cast<size_t>(result.returned) * record > buffer.size()) {
        result.wellFormed = false;
        return;
    }
    for (DWORD i = 0; i < result.returned; ++i) {
        PortInfo port;
        const BYTE* at = buffer.data() + i * record;
        if (level == 1) {
            PORT_INFO_1A info;
            std::memcpy(&info, at, sizeof(info));
            port.name = BufferString(info.pName, buffer, &result.wellFormed);
        } else {
            PORT_INFO_2A info;
            std::memcpy(&info, at, sizeof(info));
            port.name = BufferString(info.pPortName, buffer, &result.wellFormed);
            port.monitor = BufferString(info.pMonitorName, buffer, &result.wellFormed);
            port.description = BufferString(info.pDescription, buffer, &result.wellFormed);
            port.type = info.fPortType;
            port.reserved = info.Reserved;
        }
        result.ports.push_back(std::move(port));
    }
}

// DOC_INFO_1A, which StartDocPort receives at level 1.
struct DocInfo1 {
    LPSTR pDocName;
    LPSTR pOutputFile;
    LPSTR pDatatype;
};

} // namespace

void SetMonitorLibraryDir(const std::filesystem::path& dir) {
    LibraryState& s = Libraries();
    std::lock_guard guard(s.mutex);
    s.dir = dir;
    s.dirChosen = true;
}

std::filesystem::path MonitorLibraryDir() {
    LibraryState& s = Libraries();
    std::lock_guard guard(s.mutex);
    if (!s.dirChosen) {
        const char* env = std::getenv("VTXSIM_MONITOR_DIR");
        return env != nullptr ? std::filesystem::path(env) : std::filesystem::path();
    }
    return s.dir;
}

std::filesystem::path MonitorLibraryPath(std::string_view dllName) {
    std::string file = sim::FoldAscii(FilePart(dllName));
    if (file.size() > 4 && file.ends_with(".dll"))
        file.resize(file.size() - 4);
    file = "lib" + file + ".so";
    std::filesystem::path dir = MonitorLibraryDir();
    // Without a directory the loader searches its own path.
    return dir.empty() ? std::filesystem::path(file) : dir / file;
}

MonitorHost::MonitorHost(std::string dllName) : dllName_(std::move(dllName)) {}

MonitorHost::~MonitorHost() {
    for (HANDLE port : std::set<HANDLE>(openPorts_)) {
        try {
            ClosePort(port);
        } catch (const std::out_of_range&) {
            // The instances were started again and the port's instance is gone.
        }
    }
}

bool MonitorHost::StartInstances(bool parallel) {
    error_.clear();
    instances_.clear();
    for (const std::string& name : MonitorNames()) {
        if (!SameDll(MonitorDriver(name), dllName_))
            continue;
        MonitorInstance instance;
        instance.name = name;
        instance.registryRoot = std::string(vtxsim::kMonitorsKeyPath) + "\\" + name;
        instances_.push_back(std::move(instance));
    }
    if (instances_.empty())
        return true;
    INITIALIZEMONITOREX entry = LoadEntry(MonitorLibraryPath(dllName_), &error_);
    if (entry == nullptr)
        return false;
    CallAll(entry, instances_, parallel);
    bool all = std::all_of(instances_.begin(), instances_.end(),
                           [](const MonitorInstance& i) { return i.result != FALSE; });
    if (!all)
        error_ = "InitializeMonitorEx failed for an instance";
    return all;
}

const MONITOR& MonitorHost::Table(const std::string& instance) const {
    for (const MonitorInstance& candidate : instances_) {
        if (!candidate.called || !candidate.result)
            continue;
        if (instance.empty() || sim::FoldAscii(candidate.name) == sim::FoldAscii(instance))
            return candidate.table;
    }
    throw std::out_of_range("no started monitor instance " + instance);
}

EnumPortsResult MonitorHost::EnumPorts(DWORD level, const std::string& instance) const {
    const MONITOR& table = Table(instance);
    EnumPortsResult result;
    DWORD returned = 0;
    SetLastError(0);
    result.ok = table.pfnEnumPorts(nullptr, level, nullptr, 0, &result.needed, &returned);
    if (result.ok) {
        result.returned = returned;
        return result; // nothing to list
    }
    result.error = GetLastError();
    if (result.error != ERROR_INSUFFICIENT_BUFFER)
        return result;
    std::vector<BYTE> buffer(result.needed);
    DWORD needed = 0;
    SetLastError(0);
    result.ok =
        table.pfnEnumPorts(nullptr, level, buffer.data(), result.needed, &needed, &result.returned);
    result.error = result.ok ? 0 : GetLastError();
    if (result.ok)
        ParsePorts(level, buffer, result);
    return result;
}

HANDLE MonitorHost::OpenPort(const std::string& port, const std::string& instance) {
    std::string name = port;
    HANDLE handle = nullptr;
    if (!Table(instance).pfnOpenPort(name.data(), &handle))
        return nullptr;
    openPorts_.insert(handle);
    return handle;
}

BOOL MonitorHost::StartDocPort(HANDLE port, const std::string& printer, DWORD jobId,
                               const std::string& instance) {
    std::string printerName = printer;
    std::string document = "vtxsim document";
    std::string datatype = "RAW";
    DocInfo1 info{document.data(), nullptr, datatype.data()};
    return Table(instance).pfnStartDocPort(port, printerName.data(), jobId, 1,
                                           reinterpret_cast<LPBYTE>(&info));
}

BOOL MonitorHost::WritePort(HANDLE port, std::string_view data, DWORD* written,
                            const std::string& instance) {
    std::vector<BYTE> bytes(data.begin(), data.end());
    DWORD done = 0;
    BOOL ok =
        Table(instance).pfnWritePort(port, bytes.data(), static_cast<DWORD>(bytes.size()), &done);
    if (written != nullptr)
        *written = done;
    return ok;
}

BOOL MonitorHost::ReadPort(HANDLE port, void* buffer, DWORD size, DWORD* read,
                           const std::string& instance) {
    DWORD done = 0;
    BOOL ok = Table(instance).pfnReadPort(port, static_cast<LPBYTE>(buffer), size, &done);
    if (read != nullptr)
        *read = done;
    return ok;
}

BOOL MonitorHost::EndDocPort(HANDLE port, const std::string& instance) {
    return Table(instance).pfnEndDocPort(port);
}

BOOL MonitorHost::ClosePort(HANDLE port, const std::string& instance) {
    BOOL ok = Table(instance).pfnClosePort(port);
    if (ok)
        openPorts_.erase(port);
    return ok;
}

} // namespace sim
