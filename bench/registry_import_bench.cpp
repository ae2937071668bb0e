// The REGEDIT4 import of a customer's export into a fresh machine directory, keys per second,
// beside raw SQLite inserts of the same rows into the same tables (one transaction, prepared
// statements, nothing else) measured in the same run: the floor that storing those rows costs
// on this disk. The import must reach 100,000 keys per second and stay within x2 of the floor.
// Beside them, in real time, what users run on such an export: vtxlab new --from and vtxlab
// explain as processes, with two of the maker's printers in it; each within x2 of the import
// alone.
#include "bench/customer_registry.h"
#include "driver_install/printer_install.h"
#include "platform/sim/control/simctl.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kKeys = 50000;

// The machine registry's tables and connection settings as the simulator makes them
// (registry_db.cpp), its indexes made before the rows as a plain program would.
constexpr const char* kSchema = R"(
CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, name BLOB NOT NULL,
                  path BLOB NOT NULL UNIQUE);
CREATE INDEX keys_in_order ON keys(parent, id);
CREATE TABLE vals(id INTEGER PRIMARY KEY, key INTEGER NOT NULL, name BLOB NOT NULL,
                  folded BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,
                  UNIQUE(key, folded));
CREATE INDEX vals_in_order ON vals(key, id);
)";

struct KeyRow {
    std::int64_t parent;
    std::string name, path;
};
struct ValueRow {
    std::int64_t key;
    std::string name, folded;
    std::int64_t type;
    std::vector<BYTE> data;
};
struct Rows {
    std::vector<KeyRow> keys;
    std::vector<ValueRow> values;
};

// The rows the import stores for the export: every key with its parent and folded path. A key's
// id is its place in the list plus one; a root's parent is 0.
Rows RowsOf(const std::string& text) {
    Rows rows;
    for (const vtxsim::RegistryTextKey& key : vtxsim::RegistryTextKeys(text, "bench")) {
        std::string folded = vtxsim::FoldAscii(key.name);
        std::int64_t parent = key.parent ? static_cast<std::int64_t>(*key.parent) + 1 : 0;
        std::string path = key.parent ? rows.keys[*key.parent].path + "\\" + folded : folded;
        rows.keys.push_back(KeyRow{parent, key.name, std::move(path)});
        auto id = static_cast<std::int64_t>(rows.keys.size());
        for (const auto& [name, value] : key.values)
            rows.values.push_back(
                ValueRow{id, name, vtxsim::FoldAscii(name), std::int64_t{value.type}, value.data});
    }
    return rows;
}

fs::path FreshDir() {
    std::string pattern = (fs::temp_directory_path() / "vtxbench-import-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp");
    return pattern;
}

void Exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
}

void Step(sqlite3* db, sqlite3_stmt* statement) {
    if (sqlite3_step(statement) != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(db));
    sqlite3_reset(statement);
}

void InsertRows(const fs::path& file, const Rows& rows) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    Exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF; PRAGMA cache_size=-65536");
    Exec(db, kSchema);
    Exec(db, "BEGIN");
    sqlite3_stmt* key = nullptr;
    sqlite3_stmt* value = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO keys(parent, name, path) VALUES(?, ?, ?)", -1, &key,
                       nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO vals(key, name, folded, type, data) VALUES(?, ?, ?, ?, ?)",
                       -1, &value, nullptr);
    for (const KeyRow& row : rows.keys) {
        sqlite3_bind_int64(key, 1, row.parent);
        sqlite3_bind_blob(key, 2, row.name.data(), static_cast<int>(row.name.size()),
                          SQLITE_STATIC);
        sqlite3_bind_blob(key, 3, row.path.data(), static_cast<int>(row.path.size()),
                          SQLITE_STATIC);
        Step(db, key);
    }
    for (const ValueRow& row : rows.values) {
        sqlite3_bind_int64(value, 1, row.key);
        sqlite3_bind_blob(value, 2, row.name.data(), static_cast<int>(row.name.size()),
                          SQLITE_STATIC);
        sqlite3_bind_blob(value, 3, row.folded.data(), static_cast<int>(row.folded.size()),
                          SQLITE_STATIC);
        sqlite3_bind_int64(value, 4, row.type);
        sqlite3_bind_blob(value, 5, row.data.data(), static_cast<int>(row.data.size()),
                          SQLITE_STATIC);
        Step(db, value);
    }
    sqlite3_finalize(key);
    sqlite3_finalize(value);
    Exec(db, "COMMIT");
    sqlite3_close(db);
}

void BM_ImportRegedit4(benchmark::State& state) {
    std::string text = vtxbench::CustomerRegistry(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        fs::path dir = FreshDir();
        vtxsim::UseMachine(dir);
        vtxsim::KeyExists("HKEY_LOCAL_MACHINE"); // the database and its tables made
        state.ResumeTiming();
        vtxsim::ImportRegText(text);
        state.PauseTiming();
        vtxsim::UseMachine({}); // lets go of the database
        fs::remove_all(dir);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ImportRegedit4)->Arg(kKeys)->Unit(benchmark::kMillisecond);

void BM_RawSqliteInserts(benchmark::State& state) {
    Rows rows = RowsOf(vtxbench::CustomerRegistry(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        state.PauseTiming();
        fs::path dir = FreshDir();
        state.ResumeTiming();
        InsertRows(dir / "registry.db", rows);
        state.PauseTiming();
        fs::remove_all(dir);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RawSqliteInserts)->Arg(kKeys)->Unit(benchmark::kMillisecond);

// The customer's export with two of the maker's printers installed, as a file.
fs::path ExportWithPrinters(const fs::path& dir) {
    vtxsim::UseMachine({});
    vtxsim::ResetMachine();
    vtxsim::InstallPrinter(vtxsim::DraftaireK9("AB12"));
    vtxsim::InstallPrinter(vtxsim::DraftaireK7("EF56"));
    std::string maker = vtxsim::ExportRegistry();
    std::string text = vtxbench::CustomerRegistry(kKeys) + maker.substr(maker.find('['));
    fs::path file = dir / "customer.reg";
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

// vtxlab with args, its output to /dev/null; throws unless it exits with 0 or 1.
void RunLab(std::vector<std::string> args) {
    args.insert(args.begin(), VTXLAB_EXE);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char empty[] = "VTXSIM_MACHINE=";
    char* envp[] = {empty, nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, VTXLAB_EXE, &actions, nullptr, argv.data(), envp) != 0)
        throw std::runtime_error("cannot start " VTXLAB_EXE);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1)
        throw std::runtime_error("vtxlab failed on the export");
}

void BM_LabNewFrom(benchmark::State& state) {
    fs::path dir = FreshDir();
    fs::path file = ExportWithPrinters(dir);
    for (auto _ : state) {
        RunLab({"new", "--machine", (dir / "m").string(), "--from", file.string()});
        state.PauseTiming();
        fs::remove_all(dir / "m");
        state.ResumeTiming();
    }
    fs::remove_all(dir);
    state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_LabNewFrom)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_LabExplain(benchmark::State& state) {
    fs::path dir = FreshDir();
    fs::path file = ExportWithPrinters(dir);
    for (auto _ : state)
        RunLab({"explain", file.string()});
    fs::remove_all(dir);
    state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_LabExplain)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
