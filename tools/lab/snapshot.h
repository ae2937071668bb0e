// What the machine looks like at one moment, and what changed between two moments: the
// registry's keys and values, the files of C:, the started programs, the printers, and the
// restart's queue (wininit.ini's RENAME entries).
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace lab {

struct Snapshot {
    std::set<std::string> keys;
    std::map<std::string, std::string> values;  // "<key>\n<name as written>" -> data as written
    std::map<std::string, std::string> files;   // Windows path -> "directory" or size and digest
    std::vector<std::string> journal;           // started programs, in order
    std::map<std::string, std::string> devices; // instance -> its state in words
    std::vector<std::string> renames;           // wininit.ini's RENAME entries, in order
    std::int64_t taken = 0;                     // when, in nanoseconds of the system clock
};

Snapshot TakeSnapshot();
// A printer's words in their pieces: "plugged in", "paper loaded", ... "116 bytes received".
std::vector<std::string> WordPieces(const std::string& words);

struct Changes {
    std::vector<std::string> keysCreated, keysDeleted;
    std::vector<std::string> valuesSet, valuesDeleted; // "<key>  <name>=<data>"
    std::vector<std::string> filesCreated, filesChanged, filesDeleted;
    std::vector<std::string> started;
    std::vector<std::string> devices; // "<instance>: <before> -> <after>"
    std::vector<std::string> renamesAdded, renamesDone;
    bool Empty() const;
};

// Values of a created key count as set; those of a deleted key are not listed one by one.
Changes Compare(const Snapshot& before, const Snapshot& after);
void PrintChanges(const Changes& changes);
nlohmann::json ChangesJson(const Changes& changes);

// Held while a command's record is read and written, and by a command that runs beside another
// (device during a print) from before its change until its record is saved, so that the other
// saves after it and sees it. Nests within one process.
class RecordLock {
  public:
    explicit RecordLock(const std::filesystem::path& machine);
    ~RecordLock();
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;
};

// The last changing command's snapshots, kept in the machine for `diff`.
void SaveLastCommand(const std::filesystem::path& machine, const std::string& command,
                     const Snapshot& before, const Snapshot& after);
// False when no command has been recorded yet.
bool LoadLastCommand(const std::filesystem::path& machine, std::string* command, Snapshot* before,
                     Snapshot* after);

// A command that changed the machine while the last one ran (a device command during a print),
// kept with the last command's record so that diff can tell whose each change is.
struct CommandRecord {
    std::string command;
    Snapshot before, after;
};
std::vector<CommandRecord> CommandsDuringLast(const std::filesystem::path& machine);

} // namespace lab
