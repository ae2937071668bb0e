// vtxwinestate: what a Wine prefix and a simulated machine hold of the product's state, in the one
// form the Wine tests compare (harness.sh), read with the simulator's own REGEDIT4 and wininit.ini
// readers; and the differences of platform_differences taken out of it.
//
//   vtxwinestate keys                        the keys below HKEY_LOCAL_MACHINE to export from a
//                                            running Wine (vtxspool.exe export), one a line
//   vtxwinestate wine <differences> <prefix> [<export.reg>]
//   vtxwinestate sim <differences> <machine directory>
//                                            the compared state, sorted: the product's keys,
//                                            the RENAME entries and the product's files, less the
//                                            differences. Wine's registry is the export, taken
//                                            while its session runs, else the prefix's
//                                            system.reg, saved as the session ended
//   vtxwinestate values wine <prefix> [<export.reg>] | values sim <machine directory>
//                                            the product's keys alone, with nothing left out
//   vtxwinestate accept <differences>        standard input's lines less the differences
//   vtxwinestate renames <wininit.ini>       its RENAME entries in order (none without the file)
//   vtxwinestate interfaces <file.reg>       each interface key of a fixture <TAB> the device
//                                            instance its "DeviceInstance" names
//   vtxwinestate interface-class             the printer interface class, "{...}"
//   vtxwinestate driver-files                the files the driver's installation copies, one a
//                                            line
//
// Compared lines: key <TAB> value <TAB> data, with key and value names in lower case (the
// registry ignores their case), the default value "@", the data as the simulator's REGEDIT4
// export writes it, and a key without values as key <TAB> <TAB>; RENAME <TAB> entry, or
// RENAME.later for an entry of a second or later [RENAME] section; FILE <TAB> path <TAB> present
// or absent. Exit status 0, 1 when a file or machine cannot be read (one line on stderr), 2 for
// a wrong command line.
#include "common/product_names.h"
#include "platform/sim/control/case_folding_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/registry_ctl.h"
#include "platform/sim/control/wininit_ctl.h"
#include "tests/wine/platform_differences.h"
#include "tests/wine/wine_registry_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

// The keys the product's installation makes and the helper changes or removes, besides the
// monitor instances (named by the devices' serial numbers) and the maker's devices.
const char* const kProductKeys[] = {
    MAKER_KEY_NAME,           RUN_ONCE_KEY_NAME,       INTERFACES_KEY_NAME, PRINTER_CLASS_KEY_NAME,
    INTERFACE_CLASS_KEY_NAME, DRIVER_SERVICE_KEY_NAME, VXD_KEY_NAME,
};

// The files the product copies, renames or deletes, with those the scenarios give it to delete:
// the INF files of their models and the ExecFile of the random ones.
const char* const kProductFiles[] = {
    HELPER_FILE,
    SYSTEM_DIRECTORY "vtxalt01.exe",
    CLASS_LIBRARY_FILE,
    MONITOR_FILE,
    USB_DRIVER_FILE,
    IO_DRIVER_FILE,
    VXD_LIBRARY_FILE,
    INF_DIRECTORY "OEM0.INF",
    INF_DIRECTORY "OEM1.INF",
    INF_DIRECTORY "OEM2.INF",
    WININIT_FILE,
    WININIT_BACKUP_FILE,
};

constexpr std::string_view kLocalMachine = "HKEY_LOCAL_MACHINE\\";

bool IsKeyOrBelow(std::string_view path, std::string_view key) {
    return vtxsim::StartsWithAscii(path, key) &&
           (path.size() == key.size() || path[key.size()] == '\\');
}

// A key below HKEY_LOCAL_MACHINE that holds the product's state.
bool IsProductKey(std::string_view path) {
    for (const char* key : kProductKeys) {
        if (IsKeyOrBelow(path, key))
            return true;
    }
    // The instances, not the key that holds them: Wine's spooler keeps its own there.
    if (vtxsim::StartsWithAscii(path, MONITORS_KEY_NAME "\\"))
        return true;
    // "Enum\USB\VID_0D7A&PID_<hex digits>" and below.
    constexpr std::string_view device = USB_DEVICES_KEY MAKER_DEVICE_TYPE_PREFIX;
    if (!vtxsim::StartsWithAscii(path, device))
        return false;
    size_t end = path.find('\\', device.size());
    std::string_view productId = path.substr(device.size(), end - device.size());
    return !productId.empty() && std::all_of(productId.begin(), productId.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
    });
}

std::optional<std::string> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string MustRead(const fs::path& path) {
    std::optional<std::string> text = ReadFile(path);
    if (!text)
        throw std::runtime_error(path.string() + ": cannot read the file");
    return *text;
}

// The value lines of the product's keys, keys without values included.
Lines ValueLines(const std::vector<vtxsim::RegistrySection>& sections) {
    Lines lines;
    for (const vtxsim::RegistrySection& section : sections) {
        if (!vtxsim::StartsWithAscii(section.key, kLocalMachine) ||
            !IsProductKey(std::string_view(section.key).substr(kLocalMachine.size())))
            continue;
        std::string key = vtxsim::FoldAscii(section.key);
        for (const auto& [written, data] : section.values) {
            std::string name = written == "@" ? written : written.substr(1, written.size() - 2);
            lines.push_back(key + "\t" + vtxsim::FoldAscii(name) + "\t" + data);
        }
        if (section.values.empty())
            lines.push_back(key + "\t\t");
    }
    return lines;
}

// A key without values is listed only where it has no subkeys either: Wine's registry files
// leave out such parents, the simulator's export has them.
Lines Leaves(const Lines& lines) {
    Lines leaves;
    for (const std::string& line : lines) {
        if (line.ends_with("\t\t")) {
            std::string below = line.substr(0, line.size() - 2) + "\\";
            if (std::any_of(lines.begin(), lines.end(),
                            [&](const std::string& other) { return other.starts_with(below); }))
                continue;
        }
        leaves.push_back(line);
    }
    return leaves;
}

Lines RenameLines(const std::optional<std::string>& wininit) {
    Lines lines;
    if (!wininit)
        return lines;
    std::vector<Lines> sections = vtxsim::RenameSectionsOf(*wininit);
    for (size_t i = 0; i < sections.size(); ++i) {
        for (const std::string& entry : sections[i])
            lines.push_back((i == 0 ? "RENAME\t" : "RENAME.later\t") + entry);
    }
    return lines;
}

std::string FileLine(const char* path, bool present) {
    return std::string("FILE\t") + path + (present ? "\tpresent" : "\tabsent");
}

// One machine's state, as read.
struct MachineState {
    Lines values;
    std::optional<std::string> wininit;
    Lines files;
};

// A Windows path below C:\ on the prefix's drive, each part found without regard to case as
// Windows would.
std::optional<fs::path> PrefixFile(const fs::path& prefix, std::string_view windowsPath) {
    fs::path at = prefix / "drive_c";
    std::string_view rest = windowsPath.substr(windowsPath.find('\\') + 1);
    while (!rest.empty()) {
        size_t end = rest.find('\\');
        std::string_view part = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        std::error_code error;
        std::optional<fs::path> found;
        for (fs::directory_iterator entry(at, error), last; !error && entry != last;
             entry.increment(error)) {
            if (vtxsim::SameAscii(entry->path().filename().string(), part)) {
                found = entry->path();
                break;
            }
        }
        if (!found)
            return std::nullopt;
        at = *found;
    }
    return at;
}

std::vector<vtxsim::RegistrySection> WineRegistry(const fs::path& prefix,
                                                  const std::optional<fs::path>& exported) {
    if (exported)
        return vtxsim::RegistrySectionsOf({MustRead(*exported)}, exported->string());
    fs::path file = prefix / "system.reg";
    std::string text =
        winestate::ExportFromWineRegistry(MustRead(file), IsProductKey, file.string());
    return vtxsim::RegistrySectionsOf({text}, file.string() + " (read as an export)");
}

MachineState WineState(const fs::path& prefix, const std::optional<fs::path>& exported) {
    MachineState state;
    state.values = ValueLines(WineRegistry(prefix, exported));
    if (std::optional<fs::path> wininit = PrefixFile(prefix, WININIT_FILE))
        state.wininit = ReadFile(*wininit);
    for (const char* path : kProductFiles)
        state.files.push_back(FileLine(path, PrefixFile(prefix, path).has_value()));
    return state;
}

MachineState SimState(const fs::path& machine) {
    if (!fs::is_directory(machine))
        throw std::runtime_error(machine.string() + ": no machine directory");
    vtxsim::UseMachine(machine);
    MachineState state;
    state.values = ValueLines(vtxsim::ExportRegistrySections());
    state.wininit = vtxsim::GetFileContents(WININIT_FILE);
    for (const char* path : kProductFiles)
        state.files.push_back(FileLine(path, vtxsim::FileExists(path)));
    return state;
}

// The compared state: the product's keys, the RENAME entries and the files, less the accepted
// differences, sorted.
Lines Compared(const MachineState& state, const winestate::PlatformDifferences& differences) {
    Lines lines = Leaves(state.values);
    for (Lines more : {RenameLines(state.wininit), state.files})
        lines.insert(lines.end(), more.begin(), more.end());
    lines = differences.Accept(std::move(lines));
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Each interface key of a fixture and the device instance its "DeviceInstance" names.
Lines FixtureInterfaces(const fs::path& fixture) {
    Lines lines;
    for (const vtxsim::RegistrySection& section :
         vtxsim::RegistrySectionsOf({MustRead(fixture)}, fixture.string())) {
        if (vtxsim::FoldAscii(section.key).find("\\deviceclasses\\") == std::string::npos)
            continue;
        for (const auto& [name, data] : section.values) {
            if (!vtxsim::SameAscii(name, "\"DeviceInstance\"") || data.size() < 2 ||
                data.front() != '"')
                continue;
            std::string instance;
            for (size_t i = 1; i + 1 < data.size(); ++i)
                instance += data[i] == '\\' ? data[++i] : data[i];
            lines.push_back(section.key + "\t" + instance);
        }
    }
    return lines;
}

Lines StandardInput() {
    Lines lines;
    for (std::string line; std::getline(std::cin, line);)
        lines.push_back(line);
    return lines;
}

int Usage() {
    std::cerr << "usage: vtxwinestate keys | wine <differences> <prefix> [<export.reg>] | sim "
                 "<differences> <machine> | values wine <prefix> [<export.reg>] | values sim "
                 "<machine> | accept <differences> | renames <wininit.ini> | interfaces "
                 "<file.reg> | interface-class | driver-files\n";
    return 2;
}

int Print(const Lines& lines) {
    for (const std::string& line : lines)
        std::cout << line << "\n";
    return std::cout.flush() ? 0 : 1;
}

std::optional<fs::path> Optional(const std::vector<std::string>& args, size_t index) {
    return index < args.size() ? std::optional<fs::path>(args[index]) : std::nullopt;
}

int Run(const std::vector<std::string>& args) {
    const std::string command = args.empty() ? "" : args[0];
    size_t count = args.size();
    if (command == "keys" && count == 1) {
        Lines keys(std::begin(kProductKeys), std::end(kProductKeys));
        std::string devices = USB_DEVICES_KEY;
        keys.push_back(MONITORS_KEY_NAME);
        keys.push_back(devices.substr(0, devices.size() - 1));
        return Print(keys);
    }
    if (command == "wine" && (count == 3 || count == 4))
        return Print(Compared(WineState(args[2], Optional(args, 3)),
                              winestate::PlatformDifferences(args[1])));
    if (command == "sim" && count == 3)
        return Print(Compared(SimState(args[2]), winestate::PlatformDifferences(args[1])));
    if (command == "values" && count >= 3 && args[1] == "wine" && count <= 4)
        return Print(WineState(args[2], Optional(args, 3)).values);
    if (command == "values" && count == 3 && args[1] == "sim")
        return Print(SimState(args[2]).values);
    if (command == "accept" && count == 2)
        return Print(winestate::PlatformDifferences(args[1]).Accept(StandardInput()));
    if (command == "renames" && count == 2) {
        Lines entries;
        for (const Lines& section : vtxsim::RenameSectionsOf(ReadFile(args[1]).value_or("")))
            entries.insert(entries.end(), section.begin(), section.end());
        return Print(entries);
    }
    if (command == "interface-class" && count == 1)
        return Print({INTERFACE_CLASS_GUID_TEXT});
    if (command == "driver-files" && count == 1)
        return Print({CLASS_LIBRARY_FILE, MONITOR_FILE, USB_DRIVER_FILE, IO_DRIVER_FILE,
                      VXD_LIBRARY_FILE});
    if (command == "interfaces" && count == 2)
        return Print(FixtureInterfaces(args[1]));
    return Usage();
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        std::cerr << "vtxwinestate: " << error.what() << "\n";
        return 1;
    }
}
