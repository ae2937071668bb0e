#include "tools/lab/monitor_reading.h"
#include "tools/lab/lab_error.h"

#include "platform/sim/control/simctl.h"
#include "port_monitor/monitor.h"

namespace lab {

namespace {

const char* const kScratchKey = "Software\\vtxlab scratch";

// The interface's values on the scratch key, open for the monitor's reading; gone again when
// it ends.
class ScratchCopy {
  public:
    explicit ScratchCopy(const InterfaceView& view) {
        vtxsim::DeleteRegistryKey(kHklm + kScratchKey);
        if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kScratchKey, &key_) != ERROR_SUCCESS)
            throw LabError("cannot make the scratch key " + kHklm + kScratchKey);
        for (const std::string& name : vtxsim::ValueNames(view.parametersKey))
            vtxsim::SetRawValue(kHklm + kScratchKey, name,
                                *vtxsim::RawValue(view.parametersKey, name));
    }
    ~ScratchCopy() {
        RegCloseKey(key_);
        vtxsim::DeleteRegistryKey(kHklm + kScratchKey);
    }
    ScratchCopy(const ScratchCopy&) = delete;
    ScratchCopy& operator=(const ScratchCopy&) = delete;

    HKEY Key() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

} // namespace

MonitorReading ReadAsTheMonitor(const InterfaceView& view) {
    ScratchCopy copy(view);
    MonitorReading reading;
    CHAR name[PORT_NAME_SIZE] = {};
    DWORD enabled = 0;
    reading.usable = ReadInterfaceValues(copy.Key(), name, sizeof(name), &enabled) != FALSE;
    if (reading.usable) {
        reading.nameRead = true;
        reading.name = name;
        reading.enabled = enabled;
        return reading;
    }
    // Whether the name or "Enabled" stops it: the same values with an Enabled it can read.
    vtxsim::SetDwordValue(kHklm + kScratchKey, "Enabled", 1);
    reading.nameRead = ReadInterfaceValues(copy.Key(), name, sizeof(name), &enabled) != FALSE;
    return reading;
}

// vtxlab's own copy of the monitor code has a port table of its own, apart from the library
// the simulated spooler loads; only this class fills it.
MonitorPass::MonitorPass() {
    ClearPortTable();
    ScanDevices();
}

MonitorPass::~MonitorPass() {
    ClearPortTable();
}

bool MonitorPass::Opens(const std::string& port) const {
    return FindPortEntry(port.c_str()) != nullptr;
}

std::optional<size_t> MonitorPass::PrintsTo(const std::string& port,
                                            const std::vector<InterfaceView>& interfaces) const {
    LPCSTR path = FindDevicePath(port.c_str());
    if (path == nullptr)
        return std::nullopt;
    for (size_t i = 0; i < interfaces.size(); ++i) {
        std::string keyName = interfaces[i].key.substr(interfaces[i].key.rfind('\\') + 1);
        if (SameName(vtxsim::DevicePathFromKeyName(keyName), path))
            return i;
    }
    return std::nullopt;
}

} // namespace lab
