#include "tools/lab/snapshot.h"
#include "tools/lab/lab_error.h"
#include "tools/lab/machine_layout.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/printer_words.h"

#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include <chrono>
#include <fstream>
#include <optional>
#include <iterator>

namespace lab {
namespace {

std::string Digest(const std::string& bytes) {
    std::uint64_t hash = 1469598103934665603ULL; // FNV-1a: enough to tell a change
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ULL;
    return fmt::format("{} bytes, {:016x}", bytes.size(), hash);
}

std::string JournalLine(const vtxsim::ProcessStart& start) {
    return fmt::format("{} {}\"{}\"{}", start.source,
                       start.application.empty() ? "" : start.application + " ", start.commandLine,
                       start.started ? "" : " (no such file: not started)");
}

template <typename Map> std::vector<std::string> KeysOnlyIn(const Map& a, const Map& b) {
    std::vector<std::string> out;
    for (const auto& entry : a) {
        if constexpr (std::is_same_v<Map, std::set<std::string>>) {
            if (!b.count(entry))
                out.push_back(entry);
        } else if (!b.count(entry.first)) {
            out.push_back(entry.first);
        }
    }
    return out;
}

// Entries of `from` not matched one for one in `against`.
std::vector<std::string> Unmatched(const std::vector<std::string>& from,
                                   std::vector<std::string> against) {
    std::vector<std::string> out;
    for (const std::string& entry : from) {
        auto it = std::find(against.begin(), against.end(), entry);
        if (it == against.end())
            out.push_back(entry);
        else
            against.erase(it);
    }
    return out;
}

std::string ValueLine(const std::string& composite, const std::string& data) {
    size_t newline = composite.find('\n');
    return composite.substr(0, newline) + "  " + composite.substr(newline + 1) + "=" + data;
}

void PrintList(const std::string& title, const std::vector<std::string>& lines) {
    if (lines.empty())
        return;
    fmt::print("  {} ({}):\n", title, lines.size());
    for (const std::string& line : lines)
        fmt::print("    {}\n", line);
}

nlohmann::json ToJson(const Snapshot& s) {
    return {{"keys", s.keys},       {"values", s.values},   {"files", s.files},
            {"journal", s.journal}, {"devices", s.devices}, {"renames", s.renames},
            {"taken", s.taken}};
}

Snapshot FromJson(const nlohmann::json& j) {
    Snapshot s;
    s.keys = j.at("keys").get<std::set<std::string>>();
    s.values = j.at("values").get<std::map<std::string, std::string>>();
    s.files = j.at("files").get<std::map<std::string, std::string>>();
    s.journal = j.at("journal").get<std::vector<std::string>>();
    s.devices = j.at("devices").get<std::map<std::string, std::string>>();
    s.renames = j.at("renames").get<std::vector<std::string>>();
    s.taken = j.value("taken", std::int64_t{0});
    return s;
}

std::filesystem::path LastCommandFile(const std::filesystem::path& machine) {
    return LabStateDir(machine) / "last-command.json";
}

std::optional<nlohmann::json> ReadLastCommand(const std::filesystem::path& machine) {
    std::ifstream in(LastCommandFile(machine));
    if (!in)
        return std::nullopt;
    try {
        return nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception& error) {
        throw LabError(LastCommandFile(machine).string() + ": " + error.what());
    }
}

// The records of the commands that ended after `since`: the one saved last and those it kept.
nlohmann::json EndedSince(const std::filesystem::path& machine, std::int64_t since) {
    nlohmann::json during = nlohmann::json::array();
    std::optional<nlohmann::json> last = ReadLastCommand(machine);
    if (!last)
        return during;
    nlohmann::json records = last->value("during", nlohmann::json::array());
    records.push_back({{"command", last->at("command")},
                       {"before", last->at("before")},
                       {"after", last->at("after")}});
    for (const nlohmann::json& record : records) {
        if (record.at("after").value("taken", std::int64_t{0}) > since)
            during.push_back(record);
    }
    return during;
}

// "out of paper -> paper loaded": the pieces of a printer's words that changed, in order.
std::string WordsChanged(const std::string& before, const std::string& after) {
    std::vector<std::string> was = WordPieces(before), is = WordPieces(after);
    auto join = [](const std::vector<std::string>& pieces) {
        std::string text;
        for (const std::string& piece : pieces)
            text += (text.empty() ? "" : ", ") + piece;
        return text;
    };
    std::vector<std::string> gone = Unmatched(was, is), come = Unmatched(is, was);
    if (gone.empty() && come.empty())
        return "";
    return join(gone) + " -> " + join(come);
}

} // namespace

std::vector<std::string> WordPieces(const std::string& words) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= words.size()) {
        size_t comma = words.find(", ", start);
        if (comma == std::string::npos)
            comma = words.size();
        if (comma > start)
            pieces.push_back(words.substr(start, comma - start));
        start = comma + 2;
    }
    return pieces;
}

Snapshot TakeSnapshot() {
    Snapshot s;
    for (const vtxsim::RegistrySection& section : vtxsim::ExportRegistrySections()) {
        s.keys.insert(section.key);
        for (const auto& [name, data] : section.values)
            s.values[section.key + "\n" + name] = data;
    }
    for (const std::string& path : vtxsim::FileTree()) {
        std::optional<std::string> contents;
        if (!std::filesystem::is_directory(vtxsim::HostPath(path)))
            contents = vtxsim::GetFileContents(path);
        s.files[path] = contents ? Digest(*contents) : "directory";
    }
    for (const vtxsim::ProcessStart& start : vtxsim::ProcessJournal())
        s.journal.push_back(JournalLine(start));
    for (const vtxsim::PrinterState& printer : vtxsim::SimulatedPrinters())
        s.devices[printer.instance] = DescribePrinter(printer);
    s.renames = vtxsim::RenameEntries();
    s.taken = std::chrono::duration_cast<std::chrono::nanoseconds>(
                  std::chrono::system_clock::now().time_since_epoch())
                  .count();
    return s;
}

bool Changes::Empty() const {
    return keysCreated.empty() && keysDeleted.empty() && valuesSet.empty() &&
           valuesDeleted.empty() && filesCreated.empty() && filesChanged.empty() &&
           filesDeleted.empty() && started.empty() && devices.empty() && renamesAdded.empty() &&
           renamesDone.empty();
}

Changes Compare(const Snapshot& before, const Snapshot& after) {
    Changes c;
    c.keysCreated = KeysOnlyIn(after.keys, before.keys);
    c.keysDeleted = KeysOnlyIn(before.keys, after.keys);
    for (const auto& [composite, data] : after.values) {
        auto old = before.values.find(composite);
        if (old == before.values.end() || old->second != data)
            c.valuesSet.push_back(ValueLine(composite, data));
    }
    for (const auto& [composite, data] : before.values) {
        std::string key = composite.substr(0, composite.find('\n'));
        if (!after.values.count(composite) && after.keys.count(key))
            c.valuesDeleted.push_back(ValueLine(composite, data));
    }
    c.filesCreated = KeysOnlyIn(after.files, before.files);
    c.filesDeleted = KeysOnlyIn(before.files, after.files);
    for (const auto& [path, digest] : after.files) {
        auto old = before.files.find(path);
        if (old != before.files.end() && old->second != digest)
            c.filesChanged.push_back(path);
    }
    c.started = Unmatched(after.journal, before.journal);
    for (const auto& [instance, words] : after.devices) {
        auto old = before.devices.find(instance);
        if (old == before.devices.end())
            c.devices.push_back(instance + ": new, " + words);
        else if (std::string change = WordsChanged(old->second, words); !change.empty())
            c.devices.push_back(instance + ": " + change);
    }
    c.renamesAdded = Unmatched(after.renames, before.renames);
    c.renamesDone = Unmatched(before.renames, after.renames);
    return c;
}

void PrintChanges(const Changes& c) {
    if (c.Empty()) {
        fmt::print("  nothing changed\n");
        return;
    }
    PrintList("registry keys deleted", c.keysDeleted);
    PrintList("registry values deleted", c.valuesDeleted);
    PrintList("registry keys created", c.keysCreated);
    PrintList("registry values set", c.valuesSet);
    PrintList("files deleted", c.filesDeleted);
    PrintList("files created", c.filesCreated);
    PrintList("files changed", c.filesChanged);
    PrintList("programs started", c.started);
    PrintList("queued for the restart (wininit.ini [RENAME])", c.renamesAdded);
    PrintList("no longer queued for the restart", c.renamesDone);
    PrintList("printers", c.devices);
}

nlohmann::json ChangesJson(const Changes& c) {
    return {{"keysCreated", c.keysCreated},   {"keysDeleted", c.keysDeleted},
            {"valuesSet", c.valuesSet},       {"valuesDeleted", c.valuesDeleted},
            {"filesCreated", c.filesCreated}, {"filesChanged", c.filesChanged},
            {"filesDeleted", c.filesDeleted}, {"started", c.started},
            {"devices", c.devices},           {"renamesAdded", c.renamesAdded},
            {"renamesDone", c.renamesDone}};
}

namespace {

int recordLockDepth = 0;
int recordLockFd = -1;

} // namespace

RecordLock::RecordLock(const std::filesystem::path& machine) {
    if (recordLockDepth++ > 0)
        return;
    std::filesystem::path path = LabStateDir(machine) / "record.lock";
    recordLockFd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // Without the lock a record may only miss a command that ran beside it.
    if (recordLockFd >= 0)
        while (flock(recordLockFd, LOCK_EX) != 0 && errno == EINTR) {
        }
}

RecordLock::~RecordLock() {
    if (--recordLockDepth > 0 || recordLockFd < 0)
        return;
    close(recordLockFd);
    recordLockFd = -1;
}

void SaveLastCommand(const std::filesystem::path& machine, const std::string& command,
                     const Snapshot& before, const Snapshot& after) {
    RecordLock lock(machine);
    nlohmann::json j = {{"command", command},
                        {"before", ToJson(before)},
                        {"after", ToJson(after)},
                        {"during", EndedSince(machine, before.taken)}};
    std::filesystem::path file = LastCommandFile(machine);
    vtxsim::AtomicWrite written = vtxsim::WriteFileAtomically(
        file, j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    if (written.failed == vtxsim::AtomicWrite::Step::Writing)
        throw LabError("cannot write " + written.temporary.string());
    if (written.failed == vtxsim::AtomicWrite::Step::Replacing)
        throw std::filesystem::filesystem_error("cannot replace", written.temporary, file,
                                                written.error);
}

bool LoadLastCommand(const std::filesystem::path& machine, std::string* command, Snapshot* before,
                     Snapshot* after) {
    std::optional<nlohmann::json> j = ReadLastCommand(machine);
    if (!j)
        return false;
    try {
        *command = j->at("command").get<std::string>();
        *before = FromJson(j->at("before"));
        *after = FromJson(j->at("after"));
    } catch (const nlohmann::json::exception& error) {
        throw LabError(LastCommandFile(machine).string() + ": " + error.what());
    }
    return true;
}

std::vector<CommandRecord> CommandsDuringLast(const std::filesystem::path& machine) {
    std::vector<CommandRecord> records;
    std::optional<nlohmann::json> j = ReadLastCommand(machine);
    if (!j)
        return records;
    try {
        for (const nlohmann::json& record : j->value("during", nlohmann::json::array()))
            records.push_back({record.at("command").get<std::string>(),
                               FromJson(record.at("before")), FromJson(record.at("after"))});
    } catch (const nlohmann::json::exception& error) {
        throw LabError(LastCommandFile(machine).string() + ": " + error.what());
    }
    return records;
}

} // namespace lab
