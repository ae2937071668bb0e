// The monitor over random interface sets, loaded as the spooler loads it: EnumPorts at every
// buffer size, OpenPort of every name, the Windows ME document scans, and the heap once every
// port is closed and the table is empty.
#include "generators.h"
#include "interfaces.h"
#include "loaded_monitor.h"
#include "machine_setup.h"
#include "property_check.h"
#include "port_monitor/monitor.h"
#include "support/markers.h"

#include <cstring>
#include <string>
#include <vector>

namespace property {
namespace {

std::vector<std::string> Strings(const std::vector<Entry>& table, DWORD level) {
    std::vector<std::string> strings;
    for (const Entry& e : table) {
        strings.push_back(e.name);
        if (level == 2) {
            strings.push_back(""); // the monitor's name
            strings.push_back(""); // the description: the monitor's name too
        }
    }
    return strings;
}

// One EnumPorts into a buffer of exactly size bytes (so that the sanitizer sees a write past
// it): the exact layout, structures from the start and strings packed from the end, or 122
// with the exact size needed and the buffer untouched.
void CheckEnumeration(const MONITOR& monitor, DWORD level, const std::vector<Entry>& table,
                      DWORD size) {
    const std::vector<std::string> strings = Strings(table, level);
    const DWORD record = level == 1 ? sizeof(PORT_INFO_1) : sizeof(PORT_INFO_2);
    DWORD needed = static_cast<DWORD>(table.size()) * record;
    for (const std::string& s : strings)
        needed += static_cast<DWORD>(s.size() + 1);

    std::vector<BYTE> buffer(size, vtxtest::kByteMarker);
    DWORD reported = 0, returned = 0;
    SetLastError(0);
    BOOL ok = monitor.pfnEnumPorts(nullptr, level, size != 0 ? buffer.data() : nullptr, size,
                                   &reported, &returned);
    RC_ASSERT(reported == needed);
    if (size < needed) {
        RC_ASSERT(!ok);
        RC_ASSERT(GetLastError() == static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        RC_ASSERT(std::all_of(buffer.begin(), buffer.end(),
                              [](BYTE b) { return b == vtxtest::kByteMarker; }));
        return;
    }
    RC_ASSERT(ok);
    RC_ASSERT(returned == table.size());
    std::size_t end = size;
    for (std::size_t i = 0; i < table.size(); i++) {
        const BYTE* structure = buffer.data() + i * record;
        std::vector<const char*> members;
        if (level == 1) {
            members.push_back(reinterpret_cast<const PORT_INFO_1*>(structure)->pName);
        } else {
            const auto* info = reinterpret_cast<const PORT_INFO_2*>(structure);
            members = {info->pPortName, info->pMonitorName, info->pDescription};
            RC_ASSERT(info->fPortType == static_cast<DWORD>(PORT_TYPE_WRITE | PORT_TYPE_READ));
            RC_ASSERT(info->Reserved == 0u);
        }
        for (std::size_t m = 0; m < members.size(); m++) {
            const std::string& expected = strings[i * members.size() + m];
            end -= expected.size() + 1;
            RC_ASSERT(members[m] == reinterpret_cast<const char*>(buffer.data() + end));
            RC_ASSERT(std::memcmp(members[m], expected.c_str(), expected.size() + 1) == 0);
        }
    }
}

// Every size from 0 to a little past the size needed, or for a long table the sizes around
// the edges and a spread between them.
std::vector<DWORD> SizesToTry(DWORD needed) {
    std::vector<DWORD> sizes;
    if (needed <= 2048) {
        for (DWORD size = 0; size <= needed + 2; size++)
            sizes.push_back(size);
        return sizes;
    }
    for (DWORD size : {0u, 1u, 4u, 8u, needed - 2, needed - 1, needed, needed + 1, needed + 64})
        sizes.push_back(size);
    for (DWORD step = 1; step < 64; step++)
        sizes.push_back(needed / 64 * step + step);
    return sizes;
}

// Names to open: every interface's port in other case, names that differ by one letter.
std::vector<std::string> NamesToOpen(const std::vector<Interface>& interfaces) {
    std::vector<std::string> names = {"", "USB/Shared/1", "USB/SHARED/1", "USB/Shared/2"};
    for (const Interface& i : interfaces) {
        if (std::optional<Port> port = PortOf(i)) {
            names.push_back(port->name);
            names.push_back(FoldAscii(port->name));
            names.push_back(port->name + "x");
        }
    }
    return names;
}

TEST(MonitorProperty, PortsAreListedAtEveryBufferSizeAndOnlyEnabledOnesOpen) {
    Check(40, [] {
        const std::vector<Interface> interfaces = *Interfaces(0, 127);
        const MachineSetup setup{.order = *AnyOrder()};
        FreshMachine(setup);
        {
            // The table starts empty whatever an earlier case left in it.
            LoadedMonitor monitor;
            InstallInterfaces(interfaces);
            monitor.Rebuild();
            std::vector<Entry> table;
            RecordPass(table, interfaces);
            for (DWORD level : {1u, 2u}) {
                DWORD needed = 0, returned = 0;
                monitor.Table().pfnEnumPorts(nullptr, level, nullptr, 0, &needed, &returned);
                for (DWORD size : SizesToTry(needed))
                    CheckEnumeration(monitor.Table(), level, table, size);
            }
            std::vector<HANDLE> opened;
            for (std::string name : NamesToOpen(interfaces)) {
                HANDLE port = nullptr;
                BOOL ok = monitor.Table().pfnOpenPort(name.data(), &port);
                RC_ASSERT((ok != FALSE) == Opens(table, name));
                RC_ASSERT((port != nullptr) == (ok != FALSE));
                if (ok)
                    opened.push_back(port);
            }
            for (HANDLE port : opened)
                monitor.Table().pfnClosePort(port);
            // With every device gone the next rebuild leaves the table empty.
            FreshMachine(setup);
            monitor.Rebuild();
        }
        RC_ASSERT(vtxsim::LiveGlobalBlocks() == 0u);
        RC_ASSERT(vtxsim::OpenKeyHandleCount() == 0u);
    });
}

} // namespace
} // namespace property
