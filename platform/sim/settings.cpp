#include "platform/sim/settings.h"
#include "platform/sim/machine.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace sim {
namespace {

struct Settings {
    WindowsVersion version = WindowsVersion::Win98;
    bool shellRunning = true;
    EnumerationOrder order = EnumerationOrder::Creation;
    bool clockFixed = false;
    DWORD fixedTick = 0;
    int64_t bootMs = 0;      // wall-clock milliseconds at the machine's boot
    DWORD lastInterface = 0; // the last device interface number handed out
};

struct FileSignature {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    int64_t modifiedNs = 0;
    bool operator==(const FileSignature&) const = default;
};

struct SettingsState {
    Settings settings;
    std::optional<FileSignature> seen; // of the file this process last read or wrote
    bool loaded = false;
    bool changed = false;
};

SettingsState& State() {
    static SettingsState* state = new SettingsState; // used until exit
    return *state;
}

constexpr std::array<std::pair<WindowsVersion, const char*>, 5> VersionNames{{
    {WindowsVersion::Win95, "95"},
    {WindowsVersion::Win98, "98"},
    {WindowsVersion::WinMe, "ME"},
    {WindowsVersion::WinNt4, "NT4"},
    {WindowsVersion::Win2000, "2000"},
}};

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::filesystem::path SettingsPath() {
    return MachineDir() / "settings";
}

std::optional<FileSignature> SignatureOf(const std::filesystem::path& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileSignature{st.st_dev, st.st_ino, st.st_size,
                         int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

Settings FreshSettings() {
    Settings fresh;
    fresh.bootMs = NowMs();
    return fresh;
}

std::string Format(const Settings& s) {
    std::ostringstream out;
    for (const auto& [version, name] : VersionNames) {
        if (version == s.version)
            out << "version=" << name << "\n";
    }
    out << "shell=" << (s.shellRunning ? 1 : 0) << "\n";
    out << "order=" << (s.order == EnumerationOrder::Sorted ? "sorted" : "creation") << "\n";
    out << "clock=" << (s.clockFixed ? "fixed" : "boot") << "\n";
    out << "tick=" << s.fixedTick << "\n";
    out << "boot=" << s.bootMs << "\n";
    out << "interface=" << s.lastInterface << "\n";
    return out.str();
}

// Unknown lines are passed over; a value that cannot be read keeps the fresh machine's.
Settings Parse(const std::string& text) {
    Settings s = FreshSettings();
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        try {
            if (key == "version") {
                for (const auto& [version, name] : VersionNames) {
                    if (value == name)
                        s.version = version;
                }
            } else if (key == "shell") {
                s.shellRunning = value != "0";
            } else if (key == "order") {
                s.order = value == "sorted" ? EnumerationOrder::Sorted : EnumerationOrder::Creation;
            } else if (key == "clock") {
                s.clockFixed = value == "fixed";
            } else if (key == "tick") {
                s.fixedTick = static_cast<DWORD>(std::stoul(value));
            } else if (key == "boot") {
                s.bootMs = std::stoll(value);
            } else if (key == "interface") {
                s.lastInterface = static_cast<DWORD>(std::stoul(value));
            }
        } catch (const std::exception&) {
            MachineFault("unreadable machine setting '" + line + "' in " + SettingsPath().string());
        }
    }
    return s;
}

void Load() {
    SettingsState& st = State();
    if (!IsPersistent()) {
        if (!st.loaded) {
            st.settings = FreshSettings();
            st.loaded = true;
        }
        return;
    }
    std::filesystem::path path = SettingsPath();
    std::optional<FileSignature> now = SignatureOf(path);
    if (st.loaded && now == st.seen)
        return;
    if (!now) {
        // A machine directory without settings is a fresh machine, booted now.
        st.settings = FreshSettings();
        st.changed = true;
    } else {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        st.settings = Parse(text.str());
    }
    st.seen = now;
    st.loaded = true;
}

void Save() {
    SettingsState& st = State();
    if (!st.changed)
        return;
    st.changed = false;
    if (!IsPersistent())
        return;
    std::filesystem::path path = SettingsPath();
    WriteMachineFile(path, Format(st.settings));
    st.seen = SignatureOf(path);
}

void Forget() {
    SettingsState& st = State();
    st.loaded = false;
    st.changed = false;
    st.seen.reset();
}

void Reset() {
    SettingsState& st = State();
    st.settings = FreshSettings();
    st.loaded = true;
    st.changed = true;
}

const bool registered = [] {
    AddStore({"settings", Load, Save, Forget, Reset});
    return true;
}();

// Runs change on the machine's settings as one transaction.
template <typename Change> void ChangeSettings(Change change) {
    MachineLock lock;
    change(State().settings);
    State().changed = true;
}

DWORD TickOf(const Settings& s) {
    if (s.clockFixed)
        return s.fixedTick;
    return static_cast<DWORD>(static_cast<uint64_t>(NowMs() - s.bootMs));
}

} // namespace

WindowsVersion CurrentWindowsVersion() {
    MachineLock lock;
    return State().settings.version;
}

bool ShellRunning() {
    MachineLock lock;
    return State().settings.shellRunning;
}

EnumerationOrder RegistryEnumerationOrder() {
    MachineLock lock;
    return State().settings.order;
}

DWORD MachineTickCount() {
    MachineLock lock;
    return TickOf(State().settings);
}

DWORD PeekInterfaceNumber(DWORD atLeast) {
    MachineLock lock;
    return std::max(State().settings.lastInterface, atLeast) + 1;
}

DWORD TakeInterfaceNumber(DWORD atLeast) {
    DWORD number = 0;
    ChangeSettings([&](Settings& s) {
        number = std::max(s.lastInterface, atLeast) + 1;
        s.lastInterface = number;
    });
    return number;
}

void SetWindowsVersion(WindowsVersion version) {
    sim::ChangeSettings([version](sim::Settings& s) { s.version = version; });
}

void SetShellRunning(bool running) {
    sim::ChangeSettings([running](sim::Settings& s) { s.shellRunning = running; });
}

void SetEnumerationOrder(EnumerationOrder order) {
    sim::ChangeSettings([order](sim::Settings& s) { s.order = order; });
}

void SetTickCount(DWORD ms) {
    sim::ChangeSettings([ms](sim::Settings& s) {
        s.clockFixed = true;
        s.fixedTick = ms;
    });
}

void AdvanceTickCount(DWORD ms) {
    sim::ChangeSettings([ms](sim::Settings& s) {
        if (s.clockFixed)
            s.fixedTick += ms; // unsigned: wraps at 2^32
        else
            s.bootMs -= ms;
    });
}

void RunClockFromBoot() {
    sim::ChangeSettings([](sim::Settings& s) { s.clockFixed = false; });
}

} // namespace sim
