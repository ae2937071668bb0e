// The monitor's EnumPorts on a machine whose interfaces carry arbitrary "SerialNumber",
// "Product", "PortName" and "Enabled" values, at an arbitrary level and buffer size: every
// record and string of a successful call lies inside the buffer, terminated; the size it asks
// for after ERROR_INSUFFICIENT_BUFFER is enough; no port name is longer than 255 characters.
#include "driver_install/printer_install.h"
#include "fuzz/fuzz_input.h"
#include "platform/monitor9x.h"
#include "platform/sim/control/simctl.h"
#include "tests/support/markers.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using vtxtest::kMarker;
constexpr DWORD kSettledTick = 1'000'000;
constexpr DWORD kWindow = 10'000;
constexpr size_t kMaxInterfaces = 4;
constexpr size_t kMaxValueSize = 600;
constexpr size_t kMaxPortName = 255;
const char* const kValueNames[] = {"SerialNumber", "Product", "PortName", "Enabled"};

// Each value absent, or stored with an arbitrary type and arbitrary bytes.
void SetInterfaceValues(fuzz::FuzzInput& input, const std::string& key) {
    std::string deletions;
    for (const char* name : kValueNames) {
        uint8_t control = input.Byte();
        if ((control & 3) == 0) {
            deletions += std::string("\"") + name + "\"=-\n";
            continue;
        }
        std::string bytes = input.Field(kMaxValueSize);
        vtxsim::SetRawValue(
            key, name,
            {static_cast<DWORD>(control >> 2), std::vector<BYTE>(bytes.begin(), bytes.end())});
    }
    if (!deletions.empty())
        vtxsim::ImportRegText("REGEDIT4\n\n[" + key + "]\n" + deletions);
}

void MakeInterfaces(fuzz::FuzzInput& input) {
    size_t count = input.Byte() % (kMaxInterfaces + 1);
    for (size_t i = 0; i < count; i++) {
        vtxsim::PrinterSpec spec;
        spec.serial = "S" + std::to_string(i);
        spec.product = "P";
        spec.driverFiles = false;
        spec.attached = (i % 2) == 0;
        vtxsim::InstallPrinter(spec);
        SetInterfaceValues(input, vtxsim::InterfaceParametersKeyOf(spec));
    }
}

// The structure sizes and the offsets of their string members.
struct Layout {
    size_t structureSize = 0;
    std::vector<size_t> members;
};

Layout LayoutOf(DWORD level) {
    if (level == 1)
        return {sizeof(PORT_INFO_1), {offsetof(PORT_INFO_1, pName)}};
    if (level == 2)
        return {sizeof(PORT_INFO_2),
                {offsetof(PORT_INFO_2, pPortName), offsetof(PORT_INFO_2, pMonitorName),
                 offsetof(PORT_INFO_2, pDescription)}};
    return {};
}

// The records of a successful call: structures first, strings behind them, all in the buffer.
void CheckRecords(DWORD level, const BYTE* buffer, DWORD size, DWORD needed, DWORD returned) {
    const Layout layout = LayoutOf(level);
    fuzz::Check(needed <= size, "success with more needed than the buffer holds");
    fuzz::Check(static_cast<uint64_t>(returned) * layout.structureSize <= needed,
                "the structures need more than reported");
    if (level == 0) {
        fuzz::Check(needed == 0, "level 0 needs bytes");
        return;
    }
    const BYTE* stringsStart = buffer + returned * layout.structureSize;
    const BYTE* end = buffer + size;
    for (DWORD i = 0; i < returned; i++) {
        const BYTE* structure = buffer + i * layout.structureSize;
        for (size_t m = 0; m < layout.members.size(); m++) {
            const char* text = nullptr;
            std::memcpy(&text, structure + layout.members[m], sizeof(text));
            if (text == nullptr) {
                fuzz::Check(m == 2, "a port or monitor name is missing");
                continue;
            }
            const BYTE* at = reinterpret_cast<const BYTE*>(text);
            fuzz::Check(at >= stringsStart && at < end, "a string outside the buffer");
            const void* zero = std::memchr(at, 0, static_cast<size_t>(end - at));
            fuzz::Check(zero != nullptr, "a string not terminated inside the buffer");
            if (m == 0) {
                fuzz::Check(std::strlen(text) <= kMaxPortName, "a port name over 255 characters");
            }
        }
    }
    if (level == 2) {
        const PORT_INFO_2* info = reinterpret_cast<const PORT_INFO_2*>(buffer);
        for (DWORD i = 0; i < returned; i++)
            fuzz::Check(info[i].fPortType == 3 && info[i].Reserved == 0, "port type or reserved");
    }
}

std::unique_ptr<BYTE[]> Buffer(DWORD size, bool none) {
    // Exactly size bytes, so that the address sanitizer sees a write past them.
    return none ? nullptr : std::make_unique<BYTE[]>(size);
}

const MONITOR& Monitor() {
    static MONITOR table{};
    char root[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\S0";
    SetLastError(0);
    fuzz::Check(InitializeMonitorEx(root, &table) == TRUE, "InitializeMonitorEx failed");
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput input(data, size);
    vtxsim::ResetMachine();
    vtxsim::ClearFailures();
    vtxsim::SetWindowsVersion(vtxsim::WindowsVersion::Win98);

    DWORD level = input.Byte() % 4;
    if (level == 3)
        level = input.Dword();
    const uint8_t flags = input.Byte();
    const DWORD bufferSize = input.Word();
    MakeInterfaces(input);

    // Built at start-up, then settled at a known tick (as the monitor tests do), so that
    // whether the first call rebuilds does not depend on earlier inputs.
    const MONITOR& monitor = Monitor();
    vtxsim::SetTickCount(kSettledTick - 2 * kWindow - 1);
    DWORD ignored = 0;
    monitor.pfnEnumPorts(nullptr, 1, nullptr, 0, &ignored, &ignored);
    vtxsim::SetTickCount(kSettledTick);
    monitor.pfnEnumPorts(nullptr, 1, nullptr, 0, &ignored, &ignored);
    if (flags & 2)
        vtxsim::AdvanceTickCount(kWindow + 1);

    auto buffer = Buffer(bufferSize, flags & 1);
    DWORD needed = kMarker;
    DWORD returned = kMarker;
    SetLastError(kMarker);
    BOOL ok = monitor.pfnEnumPorts(nullptr, level, buffer.get(), bufferSize, &needed, &returned);
    if (level > 2) {
        fuzz::Check(!ok && GetLastError() == ERROR_INVALID_LEVEL, "a level above 2 passes");
        fuzz::Check(needed == kMarker && returned == kMarker, "a bad level wrote out-arguments");
        return 0;
    }
    const DWORD usable = buffer ? bufferSize : 0;
    if (ok) {
        CheckRecords(level, buffer.get(), usable, needed, returned);
        return 0;
    }
    fuzz::Check(GetLastError() == ERROR_INSUFFICIENT_BUFFER, "a failure other than 122");
    fuzz::Check(needed > usable, "122 with a buffer large enough");
    fuzz::Check(returned == kMarker, "122 wrote the count");

    // Nothing changed the table: the size asked for is enough.
    auto second = std::make_unique<BYTE[]>(needed);
    DWORD neededAgain = kMarker;
    returned = kMarker;
    ok = monitor.pfnEnumPorts(nullptr, level, second.get(), needed, &neededAgain, &returned);
    fuzz::Check(ok == TRUE, "the size asked for is not enough");
    fuzz::Check(neededAgain == needed, "the needed size changed");
    CheckRecords(level, second.get(), needed, neededAgain, returned);
    return 0;
}
