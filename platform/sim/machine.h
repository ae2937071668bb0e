// The simulated machine's state and its one lock. Every call that changes state runs inside a
// MachineLock: the outermost holder in a process takes the machine directory's file lock,
// reloads every store that another process may have changed, and writes the changed ones
// back atomically when it lets go.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace sim {

// A piece of machine state kept in the machine directory (registry, devices, settings...).
struct Store {
    std::string name;
    std::function<void()> load;   // reload if the file changed since this process last saw it
    std::function<void()> save;   // write back if changed, atomically
    std::function<void()> forget; // drop what this process cached; the next load reads anew
    std::function<void()> reset;  // make the state empty (a fresh machine); save writes it
};

// Registers a store; call from a static initialiser of the module that owns it.
void AddStore(Store store);

class MachineLock {
  public:
    MachineLock();
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;
};

// The machine directory (VTXSIM_MACHINE), or a private temporary directory for a machine whose
// registry and settings live in memory only.
const std::filesystem::path& MachineDir();
bool IsPersistent();

// Writes a file of the machine's own state atomically (atomic_write.h); failing to is a
// MachineFault.
void WriteMachineFile(const std::filesystem::path& path, std::string_view text);
// Switches this process to the machine in dir (created when missing), or to a fresh machine in
// memory when dir is empty: every store is forgotten and reloaded.
void UseMachine(const std::filesystem::path& dir);
// Empties the current machine: every store is reset.
void ResetMachine();

// A fatal fault of the machine itself (unreadable directory, corrupt state file).
[[noreturn]] void MachineFault(const std::string& message);

} // namespace sim
