// KERNEL32's CreateProcessA. The programs this machine would start (the maker's setup software)
// are not ours to run: a start is a record in the machine directory's "journal", one line per
// start, appended under the machine lock, so every process of the machine sees every start.
#include "platform/sim/processes.h"
#include "platform/sim/files.h"
#include "platform/sim/handles.h"
#include "platform/sim/machine.h"
#include "platform/sim/simulated_call.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace sim {
namespace {

constexpr DWORD kErrorDirectory = 267; // ERROR_DIRECTORY: the current directory is not one
constexpr DWORD kFirstProcessId = 0x1000;
constexpr DWORD kProcessIdStep = 8;
constexpr char kFieldSeparator = '\t';

std::filesystem::path JournalPath() {
    return MachineDir() / "journal";
}

const bool registered = [] {
    AddStore({"journal", nullptr, nullptr, nullptr, [] {
                  std::error_code ignored;
                  std::filesystem::remove(JournalPath(), ignored);
              }});
    return true;
}();

// A started program: nothing to do but be closed.
class ProcessObject : public KernelObject {};

std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char next = text[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, kFieldSeparator))
        fields.push_back(Unescape(field));
    if (!line.empty() && line.back() == kFieldSeparator)
        fields.emplace_back();
    return fields;
}

std::string FormatRecord(const vtxsim::ProcessStart& start) {
    std::ostringstream out;
    out << Escape(start.source) << kFieldSeparator << Escape(start.application) << kFieldSeparator
        << Escape(start.commandLine) << kFieldSeparator << Escape(start.currentDirectory)
        << kFieldSeparator << start.creationFlags << kFieldSeparator << start.startupInfoSize
        << kFieldSeparator << (start.started ? 1 : 0) << kFieldSeparator << start.processId;
    return out.str();
}

DWORD Number(const std::string& text) {
    try {
        return static_cast<DWORD>(std::stoul(text));
    } catch (const std::exception&) {
        MachineFault("the process journal " + JournalPath().string() + " is corrupt: " + text);
    }
}

vtxsim::ProcessStart ParseRecord(const std::string& line) {
    std::vector<std::string> fields = SplitFields(line);
    if (fields.size() != 8)
        MachineFault("the process journal " + JournalPath().string() + " is corrupt: " + line);
    vtxsim::ProcessStart start;
    start.source = fields[0];
    start.application = fields[1];
    start.commandLine = fields[2];
    start.currentDirectory = fields[3];
    start.creationFlags = Number(fields[4]);
    start.startupInfoSize = Number(fields[5]);
    start.started = fields[6] == "1";
    start.processId = Number(fields[7]);
    return start;
}

std::string JournalText() {
    std::ifstream in(JournalPath(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The complete records; a last line without its end is a start cut short by a process that
// died while writing it, and is no record.
std::vector<std::string> JournalLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        if (end > start)
            lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> JournalLines() {
    return JournalLines(JournalText());
}

bool IsProgramFile(std::string_view windowsPath) {
    DWORD error = 0;
    std::filesystem::path host = HostPathFor(windowsPath, &error);
    std::error_code ec;
    return error == 0 && std::filesystem::is_regular_file(host, ec);
}

bool HasDirectory(std::string_view path) {
    return path.find_first_of("\\/:") != std::string_view::npos;
}

bool HasExtension(std::string_view path) {
    size_t file = path.find_last_of("\\/:");
    std::string_view name = file == std::string_view::npos ? path : path.substr(file + 1);
    return name.find('.') != std::string_view::npos;
}

// A program named without a directory is looked for in the system and Windows directories.
std::string FindProgram(std::string name) {
    if (!HasExtension(name))
        name += ".exe";
    if (HasDirectory(name))
        return IsProgramFile(name) ? name : std::string();
    for (std::string dir :
         {std::string(WindowsDirectory) + "\\SYSTEM\\", std::string(WindowsDirectory) + "\\"}) {
        if (IsProgramFile(dir + name))
            return dir + name;
    }
    return {};
}

// Checks the application and the current directory; 0 or the error CreateProcessA gives.
DWORD CheckStart(LPCSTR application, LPCSTR commandLine, LPCSTR currentDirectory,
                 std::string* found) {
    if (application != nullptr) {
        DWORD error = 0;
        std::filesystem::path host = HostPathFor(application, &error);
        if (error != 0)
            return error;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(host, ec))
            return ERROR_FILE_NOT_FOUND;
        *found = application;
    } else {
        *found = ApplicationOfCommandLine(commandLine);
        if (found->empty())
            return ERROR_FILE_NOT_FOUND;
    }
    if (currentDirectory != nullptr) {
        DWORD error = 0;
        std::filesystem::path host = HostPathFor(currentDirectory, &error);
        std::error_code ec;
        if (error != 0 || !std::filesystem::is_directory(host, ec))
            return kErrorDirectory;
    }
    return 0;
}

} // namespace

std::string ApplicationOfCommandLine(std::string_view commandLine) {
    size_t start = commandLine.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return {};
    commandLine.remove_prefix(start);
    if (commandLine.front() == '"') {
        size_t close = commandLine.find('"', 1);
        return FindProgram(std::string(commandLine.substr(1, close - 1)));
    }
    // "C:\Program Files\x.exe -a": each prefix that ends before a space, shortest first.
    for (size_t end = commandLine.find(' ');; end = commandLine.find(' ', end + 1)) {
        std::string found = FindProgram(std::string(commandLine.substr(0, end)));
        if (!found.empty() || end == std::string_view::npos)
            return found;
    }
}

DWORD RecordProcessStart(vtxsim::ProcessStart start) {
    MachineLock lock;
    std::string text = JournalText();
    size_t complete = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
    if (complete < text.size()) {
        std::error_code ec;
        std::filesystem::resize_file(JournalPath(), complete, ec); // drop a cut-short record
        if (ec)
            MachineFault("cannot repair the process journal " + JournalPath().string());
    }
    start.processId =
        kFirstProcessId + kProcessIdStep * static_cast<DWORD>(JournalLines(text).size() + 1);
    std::ofstream out(JournalPath(), std::ios::binary | std::ios::app);
    out << FormatRecord(start) << '\n';
    out.flush();
    if (!out)
        MachineFault("cannot append to the process journal " + JournalPath().string());
    return start.processId;
}

} // namespace sim

using sim::OnSuccess;

extern "C" {

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES,
                           LPSECURITY_ATTRIBUTES, BOOL, DWORD dwCreationFlags, LPVOID,
                           LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
    return sim::SimulatedCall<BOOL>(
        {"CreateProcessA", OnSuccess::LeavesLastError, FALSE}, [&]() -> sim::CallResult<BOOL> {
            if (lpStartupInfo == nullptr || lpProcessInformation == nullptr ||
                (lpApplicationName == nullptr && lpCommandLine == nullptr))
                return sim::Fail(ERROR_INVALID_PARAMETER);
            vtxsim::ProcessStart start;
            if (DWORD error = sim::CheckStart(lpApplicationName, lpCommandLine, lpCurrentDirectory,
                                              &start.application))
                return sim::Fail(error);
            start.source = "CreateProcessA";
            start.commandLine = lpCommandLine != nullptr ? lpCommandLine : "";
            start.currentDirectory = lpCurrentDirectory != nullptr ? lpCurrentDirectory : "";
            start.creationFlags = dwCreationFlags;
            start.startupInfoSize = lpStartupInfo->cb;
            start.started = true;
            start.processId = sim::RecordProcessStart(start);
            lpProcessInformation->hProcess = sim::AddHandle(std::make_shared<sim::ProcessObject>());
            lpProcessInformation->hThread = sim::AddHandle(std::make_shared<sim::ProcessObject>());
            lpProcessInformation->dwProcessId = start.processId;
            lpProcessInformation->dwThreadId = start.processId + 4;
            return TRUE;
        });
}

} // extern "C"

namespace sim {

std::vector<vtxsim::ProcessStart> ProcessJournal() {
    sim::MachineLock lock;
    std::vector<vtxsim::ProcessStart> starts;
    for (const std::string& line : sim::JournalLines())
        starts.push_back(sim::ParseRecord(line));
    return starts;
}

void ClearProcessJournal() {
    sim::MachineLock lock;
    std::error_code ignored;
    std::filesystem::remove(sim::JournalPath(), ignored);
}

} // namespace sim
