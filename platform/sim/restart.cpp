// What a restart of Windows 98 does to files and programs before the shell runs.
//
// WININIT carries out the "RENAME" section of wininit.ini line by line, duplicates included,
// so the file is read here as text, not through a key lookup. Afterwards it renames the file
// to wininit.bak, which removes the section (and everything else in the file). Then the
// machine-wide RunOnce values are started and deleted.
#include "platform/sim/files.h"
#include "platform/sim/machine.h"
#include "platform/sim/processes.h"
#include "platform/sim/restart.h"
#include "platform/sim/case_folding.h"
#include "platform/sim/wininit.h"

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using vtxsim::RestartStep;
using vtxsim::RestartStepKind;

namespace fs = std::filesystem;

constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

struct RenameEntry {
    std::string key;
    std::string value;
};

std::string WindowsFile(std::string_view name) {
    return std::string(sim::WindowsDirectory) + "\\" + std::string(name);
}

fs::path HostPath(std::string_view windowsPath) {
    DWORD error = 0;
    fs::path host = sim::HostPathFor(windowsPath, &error);
    return error == 0 ? host : fs::path();
}

// The entries of every "[rename]" section, in file order; comments and lines without '='
// are passed over, as WININIT does.
std::vector<RenameEntry> ReadRenameSection(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<RenameEntry> entries;
    for (const std::string& line : sim::RenameSectionLines(text)) {
        std::string_view entry = line;
        size_t equals = entry.find('=');
        if (entry.starts_with(';') || equals == entry.npos)
            continue;
        entries.push_back({std::string(sim::TrimIniBlanks(entry.substr(0, equals))),
                           std::string(sim::TrimIniBlanks(entry.substr(equals + 1)))});
    }
    return entries;
}

RestartStep Skipped(std::string path, std::string source, std::string why) {
    return {RestartStepKind::Skipped, std::move(path), std::move(source), std::move(why)};
}

RestartStep DeleteFileEntry(const std::string& path) {
    fs::path host = HostPath(path);
    std::error_code ec;
    if (host.empty() || !fs::is_regular_file(host, ec))
        return Skipped(path, {}, "no such file");
    if (!fs::remove(host, ec))
        return Skipped(path, {}, "cannot delete: " + ec.message());
    return {RestartStepKind::Deleted, path, {}, {}};
}

RestartStep MoveFileEntry(const std::string& destination, const std::string& source) {
    fs::path from = HostPath(source);
    std::error_code ec;
    if (from.empty() || !fs::is_regular_file(from, ec))
        return Skipped(destination, source, "source missing");
    fs::path to = HostPath(destination);
    if (to.empty())
        return Skipped(destination, source, "destination directory missing");
    if (fs::is_directory(to, ec))
        return Skipped(destination, source, "destination is a directory");
    fs::rename(from, to, ec);
    if (ec)
        return Skipped(destination, source, "cannot move: " + ec.message());
    return {RestartStepKind::Moved, destination, source, {}};
}

void CarryOutRenames(std::vector<RestartStep>& steps) {
    std::string iniName = WindowsFile("wininit.ini");
    fs::path ini = HostPath(iniName);
    std::error_code ec;
    if (ini.empty() || !fs::is_regular_file(ini, ec))
        return;
    for (const RenameEntry& entry : ReadRenameSection(ini)) {
        if (sim::FoldAscii(entry.key) == "nul")
            steps.push_back(DeleteFileEntry(entry.value));
        else
            steps.push_back(MoveFileEntry(entry.key, entry.value));
    }
    std::string backupName = WindowsFile("wininit.bak");
    fs::rename(ini, HostPath(backupName), ec);
    if (ec)
        steps.push_back(Skipped(iniName, {}, "cannot rename to wininit.bak: " + ec.message()));
    else
        steps.push_back({RestartStepKind::SectionRemoved, iniName, {}, "renamed to " + backupName});
}

struct RunOnceValue {
    std::string name;
    DWORD type = 0;
    std::string data;
};

std::vector<RunOnceValue> ReadRunOnce(HKEY key) {
    DWORD maxName = 0;
    DWORD maxData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return {};
    std::vector<RunOnceValue> values;
    for (DWORD index = 0;; ++index) {
        std::string name(maxName + 1, '\0');
        std::string data(maxData + 1, '\0');
        DWORD nameSize = maxName + 1;
        DWORD dataSize = maxData + 1;
        DWORD type = 0;
        if (RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &type,
                          reinterpret_cast<LPBYTE>(data.data()), &dataSize) != ERROR_SUCCESS)
            break;
        name.resize(nameSize);
        data.resize(dataSize);
        data = data.substr(0, data.find('\0'));
        values.push_back({std::move(name), type, std::move(data)});
    }
    return values;
}

RestartStep StartRunOnce(HKEY key, const RunOnceValue& value) {
    RestartStep step{RestartStepKind::RunOnce, value.name, value.data, {}};
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        vtxsim::ProcessStart start;
        start.source = "RunOnce";
        start.application = sim::ApplicationOfCommandLine(value.data);
        start.commandLine = value.data;
        start.started = !start.application.empty();
        sim::RecordProcessStart(start);
        step.detail = start.started ? "started" : "program not found";
    } else {
        step.detail = "not a command line";
    }
    if (RegDeleteValueA(key, value.name.c_str()) != ERROR_SUCCESS)
        step.detail += "; the value could not be deleted";
    return step;
}

void RunOnce(std::vector<RestartStep>& steps) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    for (const RunOnceValue& value : ReadRunOnce(key))
        steps.push_back(StartRunOnce(key, value));
    RegCloseKey(key);
}

} // namespace

namespace sim {

std::vector<RestartStep> RestartMachine() {
    sim::MachineLock lock;
    std::vector<RestartStep> steps;
    CarryOutRenames(steps);
    RunOnce(steps);
    return steps;
}

std::string Describe(const RestartStep& step) {
    switch (step.kind) {
    case RestartStepKind::Moved:
        return "moved " + step.source + " over " + step.path;
    case RestartStepKind::Deleted:
        return "deleted " + step.path;
    case RestartStepKind::Skipped:
        return "skipped " + step.path + (step.source.empty() ? "" : "=" + step.source) + ": " +
               step.detail;
    case RestartStepKind::SectionRemoved:
        return step.path + " " + step.detail;
    case RestartStepKind::RunOnce:
        return "RunOnce " + step.path + " = " + step.source + ": " + step.detail;
    }
    return {};
}

} // namespace sim
