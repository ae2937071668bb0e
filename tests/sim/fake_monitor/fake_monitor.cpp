// A tiny port monitor for the monitor host's tests: one port "FAKE:<instance>" per initialised
// instance, all kept in the library's one state, as instances of one monitor share theirs.
// An instance whose name ends in "Refuse" fails its initialisation with ERROR_ACCESS_DENIED.
#include "platform/monitor9x.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct FakeState {
    std::mutex mutex;
    std::vector<std::string> ports; // sorted
};

FakeState& State() {
    static FakeState* state = new FakeState;
    return *state;
}

std::string InstanceName(std::string_view root) {
    size_t cut = root.find_last_of('\\');
    return std::string(cut == std::string_view::npos ? root : root.substr(cut + 1));
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Records first, strings packed from the end of the buffer, as the spooler expects.
BOOL WINAPI FakeEnumPorts(LPSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                          LPDWORD returned) {
    if (level != 1 && level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    FakeState& s = State();
    std::lock_guard guard(s.mutex);
    size_t record = level == 1 ? sizeof(PORT_INFO_1A) : sizeof(PORT_INFO_2A);
    size_t total = 0;
    for (const std::string& port : s.ports)
        total += record + port.size() + 1;
    *needed = static_cast<DWORD>(total);
    *returned = 0;
    if (total > size || (total > 0 && buffer == nullptr))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    LPBYTE end = buffer + size;
    for (size_t i = 0; i < s.ports.size(); ++i) {
        end -= s.ports[i].size() + 1;
        std::memcpy(end, s.ports[i].c_str(), s.ports[i].size() + 1);
        LPSTR text = reinterpret_cast<LPSTR>(end);
        if (level == 1) {
            PORT_INFO_1A info{text};
            std::memcpy(buffer + i * record, &info, sizeof(info));
        } else {
            PORT_INFO_2A info{text, nullptr, nullptr, PORT_TYPE_WRITE, 0};
            std::memcpy(buffer + i * record, &info, sizeof(info));
        }
    }
    *returned = static_cast<DWORD>(s.ports.size());
    return TRUE;
}

BOOL WINAPI FakeOpenPort(LPSTR name, PHANDLE handle) {
    FakeState& s = State();
    std::lock_guard guard(s.mutex);
    if (name == nullptr || !std::binary_search(s.ports.begin(), s.ports.end(), name))
        return Fail(ERROR_INVALID_PARAMETER);
    *handle = reinterpret_cast<HANDLE>(0x5000);
    return TRUE;
}

BOOL WINAPI FakeStartDocPort(HANDLE, LPSTR, DWORD, DWORD, LPBYTE) {
    return TRUE;
}

BOOL WINAPI FakeWritePort(HANDLE, LPBYTE, DWORD size, LPDWORD written) {
    *written = size;
    return TRUE;
}

BOOL WINAPI FakeEndDocPort(HANDLE) {
    return TRUE;
}
BOOL WINAPI FakeClosePort(HANDLE) {
    return TRUE;
}

} // namespace

VTX_MONITOR_EXPORT BOOL WINAPI InitializeMonitorEx(LPSTR root, LPMONITOR monitor) {
    if (root == nullptr || root[0] == '\0' || monitor == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    std::string name = InstanceName(root);
    if (name.ends_with("Refuse"))
        return Fail(ERROR_ACCESS_DENIED);
    {
        FakeState& s = State();
        std::lock_guard guard(s.mutex);
        std::string port = "FAKE:" + name;
        auto at = std::lower_bound(s.ports.begin(), s.ports.end(), port);
        if (at == s.ports.end() || *at != port)
            s.ports.insert(at, port);
    }
    *monitor = MONITOR{};
    monitor->pfnEnumPorts = FakeEnumPorts;
    monitor->pfnOpenPort = FakeOpenPort;
    monitor->pfnStartDocPort = FakeStartDocPort;
    monitor->pfnWritePort = FakeWritePort;
    monitor->pfnEndDocPort = FakeEndDocPort;
    monitor->pfnClosePort = FakeClosePort;
    return TRUE;
}
