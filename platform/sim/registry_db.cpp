#include "platform/sim/registry_db.h"

#include "platform/sim/machine.h"
#include "platform/sim/regedit4.h"
#include "platform/sim/settings.h"
#include "platform/sim/case_folding.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace sim {
namespace {

// A root is a key whose parent is 0. A key's "path" is its whole path from the root with A-Z
// in lower case, components joined by "\": a key is found with one lookup, and a subtree is
// one range of paths. A value's "folded" is its name so folded. A new row's id is above every
// existing one, so ids give creation order.
constexpr int kSchemaVersion = 1;
constexpr const char* kSchema = R"(
CREATE TABLE keys(
    id INTEGER PRIMARY KEY,
    parent INTEGER NOT NULL,
    name BLOB NOT NULL,
    path BLOB NOT NULL UNIQUE);
CREATE TABLE vals(
    id INTEGER PRIMARY KEY,
    key INTEGER NOT NULL,
    name BLOB NOT NULL,
    folded BLOB NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, folded));
CREATE TABLE meta(name BLOB PRIMARY KEY, value BLOB NOT NULL);
)";
// The indexes that list a key's subkeys and values in creation order; a whole registry written
// at once is written without them and gets them afterwards, built in one sorted pass.
constexpr const char* kOrderIndexes = R"(
CREATE INDEX keys_in_order ON keys(parent, id);
CREATE INDEX vals_in_order ON vals(key, id);
)";
constexpr const char* kWithoutOrderIndexes = R"(
DROP INDEX keys_in_order;
DROP INDEX vals_in_order;
)";
// Below this many keys, dropping and making the indexes again costs more than it saves.
constexpr size_t kBulkKeys = 1000;

// Names given in creation order, put in the machine's enumeration order. Wine keeps a key's
// subkeys and values sorted by name with A-Z folded to lower case, a name before the longer names
// it begins; bytes are compared unsigned.
std::vector<std::string> InEnumerationOrder(std::vector<std::string> names) {
    if (RegistryEnumerationOrder() == EnumerationOrder::Sorted)
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return FoldAscii(a) < FoldAscii(b);
        });
    return names;
}

constexpr int kBusyTimeoutMs = 10000;
// No mutex of SQLite's own: the machine lock already keeps the connection to one thread.
constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;

struct Connection {
    sqlite3* db = nullptr;
    pid_t owner = 0; // a connection inherited through fork belongs to the parent
    std::map<std::string_view, sqlite3_stmt*> statements;
    bool inTransaction = false;
    std::string seedSeen; // signature of registry.reg as this process last took it in
};

Connection& TheConnection() {
    static Connection* connection = new Connection; // used until exit
    return *connection;
}

std::filesystem::path DatabaseFile() {
    return MachineDir() / "registry.db";
}

std::filesystem::path SeedFile() {
    return MachineDir() / "registry.reg";
}

[[noreturn]] void DatabaseFault(sqlite3* db, const std::string& what) {
    MachineFault("the machine registry " + DatabaseFile().string() + ": " + what + ": " +
                 (db != nullptr ? sqlite3_errmsg(db) : "out of memory"));
}

void Execute(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        DatabaseFault(db, sql);
}

// One use of a prepared statement: parameters bound in order, reset when it goes.
class Query {
  public:
    Query(sqlite3* db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}
    ~Query() {
        sqlite3_reset(statement_); // every use binds every parameter anew
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& Bind(std::int64_t number) {
        Check(sqlite3_bind_int64(statement_, ++bound_, number));
        return *this;
    }
    // Bytes as a BLOB, so that no collation or zero byte changes what compares equal.
    Query& Bind(std::string_view bytes) {
        Check(sqlite3_bind_blob(statement_, ++bound_, bytes.empty() ? "" : bytes.data(),
                                static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Query& Bind(const std::vector<BYTE>& bytes) {
        return Bind(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    // True for a row, false when done.
    bool Step() {
        int rc = sqlite3_step(statement_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            DatabaseFault(db_, sqlite3_sql(statement_));
        return false;
    }
    std::int64_t Number(int column) const { return sqlite3_column_int64(statement_, column); }
    std::string Text(int column) const {
        const void* bytes = sqlite3_column_blob(statement_, column);
        int size = sqlite3_column_bytes(statement_, column);
        return bytes == nullptr ? std::string()
                                : std::string(static_cast<const char*>(bytes), size);
    }
    std::vector<BYTE> Bytes(int column) const {
        const BYTE* bytes = static_cast<const BYTE*>(sqlite3_column_blob(statement_, column));
        int size = sqlite3_column_bytes(statement_, column);
        return bytes == nullptr ? std::vector<BYTE>() : std::vector<BYTE>(bytes, bytes + size);
    }

  private:
    void Check(int rc) {
        if (rc != SQLITE_OK)
            DatabaseFault(db_, sqlite3_sql(statement_));
    }

    sqlite3* db_;
    sqlite3_stmt* statement_;
    int bound_ = 0;
};

// A new database gets the schema; one of another format is a fault rather than a guess.
void MakeSchema(sqlite3* db) {
    int version = -1;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        version = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    if (version == kSchemaVersion)
        return;
    if (version != 0)
        MachineFault("the machine registry " + DatabaseFile().string() +
                     " has the unknown format " + std::to_string(version) +
                     " (remove it; a registry.reg beside it seeds a new one)");
    Execute(db, "BEGIN");
    Execute(db, kSchema);
    Execute(db, kOrderIndexes);
    Execute(db, ("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    Execute(db, "COMMIT");
}

void Close(Connection& c) {
    if (c.db != nullptr && c.owner == getpid()) {
        if (c.inTransaction)
            Execute(c.db, "COMMIT");
        for (auto& [sql, statement] : c.statements)
            sqlite3_finalize(statement);
        sqlite3_close(c.db); // the last connection of the machine folds the WAL back
    }
    c = Connection{};
}

void Open(Connection& c) {
    if (c.db != nullptr && c.owner == getpid())
        return;
    c = Connection{}; // one inherited through fork is the parent's to use and close
    bool persistent = IsPersistent();
    std::string file = persistent ? DatabaseFile().string() : ":memory:";
    if (sqlite3_open_v2(file.c_str(), &c.db, kOpenFlags, nullptr) != SQLITE_OK)
        DatabaseFault(c.db, "cannot open");
    c.owner = getpid();
    sqlite3_busy_timeout(c.db, kBusyTimeoutMs);
    // A process that dies between calls loses nothing: what it committed is in the WAL, in the
    // file system's hands. Only a crash of the host could lose it; the machine never promised
    // to survive one (nor did its files written by rename), so nothing waits for the disk.
    if (persistent)
        Execute(c.db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF");
    // A customer's whole registry (some 20 MB) stays in the page cache while one transaction
    // writes it, instead of spilling to the WAL and being read back; memory is taken only as used.
    Execute(c.db, "PRAGMA cache_size=-65536");
    MakeSchema(c.db);
    static const bool closeAtExit = [] {
        std::atexit([] { Close(TheConnection()); });
        return true;
    }();
    (void)closeAtExit;
}

Query Run(const char* sql) {
    Connection& c = TheConnection();
    sqlite3_stmt*& statement = c.statements[sql];
    if (statement == nullptr && sqlite3_prepare_v3(c.db, sql, -1, SQLITE_PREPARE_PERSISTENT,
                                                   &statement, nullptr) != SQLITE_OK)
        DatabaseFault(c.db, sql);
    return Query(c.db, statement);
}

void Begin() {
    Connection& c = TheConnection();
    Open(c);
    if (c.inTransaction)
        return;
    Run("BEGIN").Step();
    c.inTransaction = true;
}

void Commit() {
    Connection& c = TheConnection();
    if (!c.inTransaction || c.owner != getpid())
        return;
    c.inTransaction = false;
    Run("COMMIT").Step();
}

std::string ChildPath(std::string_view parentPath, std::string_view name) {
    std::string path(parentPath);
    path += '\\';
    path += FoldAscii(name);
    return path;
}

std::optional<KeyId> FindPath(std::string_view path) {
    Query q = Run("SELECT id FROM keys WHERE path = ?");
    q.Bind(path);
    if (!q.Step())
        return std::nullopt;
    return q.Number(0);
}

KeyId AddKey(KeyId parent, std::string_view name, std::string_view path) {
    Run("INSERT INTO keys(parent, name, path) VALUES(?, ?, ?)")
        .Bind(parent)
        .Bind(name)
        .Bind(path)
        .Step();
    return sqlite3_last_insert_rowid(TheConnection().db);
}

// A root always exists: one missing (a fresh or emptied machine) is made when first named.
KeyId RootId(RegRoot root) {
    std::string path = FoldAscii(RootName(root));
    if (std::optional<KeyId> id = FindPath(path))
        return *id;
    return AddKey(0, RootName(root), path);
}

std::string PathOf(const RegPath& key) {
    std::string path = FoldAscii(RootName(key.root));
    for (const std::string& component : key.components) {
        path += '\\';
        path += FoldAscii(component);
    }
    return path;
}

RegValue ValueFrom(const Query& q) {
    return RegValue{q.Text(0), static_cast<DWORD>(q.Number(1)), q.Bytes(2)};
}

std::optional<std::string> MetaValue(const char* name) {
    Query q = Run("SELECT value FROM meta WHERE name = ?");
    q.Bind(name);
    if (!q.Step())
        return std::nullopt;
    return q.Text(0);
}

void SetMetaValue(const char* name, const std::string& value) {
    Run("INSERT OR REPLACE INTO meta(name, value) VALUES(?, ?)").Bind(name).Bind(value).Step();
}

void InsertSubtree(KeyId id, const std::string& path, const RegKey& key) {
    for (const RegValue& value : key.values) {
        std::string folded = FoldAscii(value.name);
        Run("INSERT INTO vals(key, name, folded, type, data) VALUES(?, ?, ?, ?, ?)")
            .Bind(id)
            .Bind(value.name)
            .Bind(folded)
            .Bind(std::int64_t{value.type})
            .Bind(value.data)
            .Step();
    }
    for (const RegKey& subkey : key.subkeys) {
        std::string subpath = ChildPath(path, subkey.name);
        InsertSubtree(AddKey(id, subkey.name, subpath), subpath, subkey);
    }
}

size_t CountKeys(const RegKey& key) {
    size_t count = 1;
    for (const RegKey& subkey : key.subkeys)
        count += CountKeys(subkey);
    return count;
}

// What tells one registry.reg from another ("" when there is none): its size and modification
// time. A copy that keeps the time (cp -a, a machine directory copied whole) is the same file;
// one written or copied anew is another.
std::string SeedSignature() {
    struct stat info {};
    std::filesystem::path file = SeedFile();
    if (stat(file.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return "";
        MachineFault("cannot read " + file.string() + ": " + std::strerror(errno));
    }
    return std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
           std::to_string(info.st_mtim.tv_nsec);
}

RegTree ReadSeed() {
    std::filesystem::path file = SeedFile();
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in || in.bad())
        MachineFault("cannot read the machine registry " + file.string());
    RegTree tree;
    try {
        ApplyRegedit4(tree, text.str(), file.string());
    } catch (const std::runtime_error& error) {
        MachineFault(error.what());
    }
    return tree;
}

// A registry.reg new since the database took one in becomes the whole registry. One stat per
// transaction while it stays as it is.
void TakeInSeed() {
    if (!IsPersistent())
        return;
    Connection& c = TheConnection();
    Open(c);
    std::string now = SeedSignature();
    if (now == c.seedSeen)
        return;
    Begin();
    if (!now.empty() && MetaValue("seed") != now) {
        MachineRegistry().ReplaceTree(ReadSeed());
        SetMetaValue("seed", now);
    }
    c.seedSeen = now;
}

void Reset() {
    MachineRegistry().ReplaceTree(RegTree{});
}

const bool registered = [] {
    AddStore({"registry", TakeInSeed, Commit, [] { Close(TheConnection()); }, Reset});
    return true;
}();

} // namespace

std::optional<KeyId> RegistryDb::Find(const RegPath& path) {
    if (path.components.empty())
        return RootId(path.root);
    return FindPath(PathOf(path));
}

KeyId RegistryDb::Create(const RegPath& path, bool* created) {
    if (created != nullptr)
        *created = false;
    if (std::optional<KeyId> existing = Find(path))
        return *existing;
    KeyId id = RootId(path.root);
    std::string levelPath = FoldAscii(RootName(path.root));
    bool any = false;
    for (const std::string& component : path.components) {
        levelPath = ChildPath(levelPath, component);
        std::optional<KeyId> level = any ? std::nullopt : FindPath(levelPath);
        if (!level) {
            level = AddKey(id, component, levelPath);
            any = true;
        }
        id = *level;
    }
    if (created != nullptr)
        *created = any;
    return id;
}

bool RegistryDb::Delete(const RegPath& path) {
    if (path.components.empty())
        return false;
    std::string top = PathOf(path);
    std::optional<KeyId> id = FindPath(top);
    if (!id)
        return false;
    // Below the key: every path that goes on with "\", the range from "<path>\" to "<path>]".
    std::string first = top + '\\';
    std::string end = top + ']';
    Run("DELETE FROM vals WHERE key IN (SELECT id FROM keys WHERE path >= ? AND path < ?)")
        .Bind(first)
        .Bind(end)
        .Step();
    Run("DELETE FROM keys WHERE path >= ? AND path < ?").Bind(first).Bind(end).Step();
    Run("DELETE FROM vals WHERE key = ?").Bind(*id).Step();
    Run("DELETE FROM keys WHERE id = ?").Bind(*id).Step();
    return true;
}

std::optional<std::string> RegistryDb::SubkeyAt(KeyId key, size_t index) {
    if (RegistryEnumerationOrder() == EnumerationOrder::Sorted) {
        std::vector<std::string> names = SubkeyNames(key);
        if (index >= names.size())
            return std::nullopt;
        return names[index];
    }
    Query q = Run("SELECT name FROM keys WHERE parent = ? ORDER BY id LIMIT 1 OFFSET ?");
    q.Bind(key).Bind(static_cast<std::int64_t>(index));
    if (!q.Step())
        return std::nullopt;
    return q.Text(0);
}

std::vector<std::string> RegistryDb::SubkeyNames(KeyId key) {
    std::vector<std::string> names;
    Query q = Run("SELECT name FROM keys WHERE parent = ? ORDER BY id");
    q.Bind(key);
    while (q.Step())
        names.push_back(q.Text(0));
    return InEnumerationOrder(std::move(names));
}

std::optional<RegValue> RegistryDb::Value(KeyId key, std::string_view name) {
    std::string folded = FoldAscii(name);
    Query q = Run("SELECT name, type, data FROM vals WHERE key = ? AND folded = ?");
    q.Bind(key).Bind(folded);
    if (!q.Step())
        return std::nullopt;
    return ValueFrom(q);
}

std::optional<RegValue> RegistryDb::ValueAt(KeyId key, size_t index) {
    if (RegistryEnumerationOrder() == EnumerationOrder::Sorted) {
        std::vector<std::string> names = ValueNames(key);
        if (index >= names.size())
            return std::nullopt;
        return Value(key, names[index]);
    }
    Query q = Run("SELECT name, type, data FROM vals WHERE key = ? ORDER BY id LIMIT 1 OFFSET ?");
    q.Bind(key).Bind(static_cast<std::int64_t>(index));
    if (!q.Step())
        return std::nullopt;
    return ValueFrom(q);
}

std::vector<std::string> RegistryDb::ValueNames(KeyId key) {
    std::vector<std::string> names;
    Query q = Run("SELECT name FROM vals WHERE key = ? ORDER BY id");
    q.Bind(key);
    while (q.Step())
        names.push_back(q.Text(0));
    return InEnumerationOrder(std::move(names));
}

void RegistryDb::SetValue(KeyId key, std::string_view name, DWORD type,
                          const std::vector<BYTE>& data) {
    std::string folded = FoldAscii(name);
    Run("INSERT INTO vals(key, name, folded, type, data) VALUES(?, ?, ?, ?, ?) "
        "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data")
        .Bind(key)
        .Bind(name)
        .Bind(folded)
        .Bind(std::int64_t{type})
        .Bind(data)
        .Step();
}

bool RegistryDb::DeleteValue(KeyId key, std::string_view name) {
    std::string folded = FoldAscii(name);
    Run("DELETE FROM vals WHERE key = ? AND folded = ?").Bind(key).Bind(folded).Step();
    return sqlite3_changes(TheConnection().db) > 0;
}

KeyInfo RegistryDb::Info(KeyId key) {
    KeyInfo info;
    {
        Query q = Run("SELECT count(*), ifnull(max(length(name)), 0) FROM keys WHERE parent = ?");
        q.Bind(key);
        q.Step();
        info.subkeys = static_cast<size_t>(q.Number(0));
        info.maxSubkeyName = static_cast<size_t>(q.Number(1));
    }
    Query q = Run("SELECT count(*), ifnull(max(length(name)), 0), ifnull(max(length(data)), 0) "
                  "FROM vals WHERE key = ?");
    q.Bind(key);
    q.Step();
    info.values = static_cast<size_t>(q.Number(0));
    info.maxValueName = static_cast<size_t>(q.Number(1));
    info.maxValueData = static_cast<size_t>(q.Number(2));
    return info;
}

RegTree RegistryDb::ReadTree() {
    RegTree tree;
    std::map<KeyId, RegKey*> keys;
    for (RegRoot root : kRegRoots)
        keys[RootId(root)] = &tree.Root(root);
    {
        // A parent's id is below its children's, so a parent is placed before them.
        Query q = Run("SELECT id, parent, name FROM keys WHERE parent <> 0 ORDER BY id");
        while (q.Step()) {
            auto parent = keys.find(q.Number(1));
            if (parent == keys.end())
                continue; // below a root this machine does not keep
            parent->second->subkeys.push_back(RegKey{q.Text(2), {}, {}});
            keys[q.Number(0)] = &parent->second->subkeys.back();
        }
    }
    Query q = Run("SELECT key, name, type, data FROM vals ORDER BY id");
    while (q.Step()) {
        auto key = keys.find(q.Number(0));
        if (key != keys.end())
            key->second->values.push_back(
                RegValue{q.Text(1), static_cast<DWORD>(q.Number(2)), q.Bytes(3)});
    }
    return tree;
}

void RegistryDb::ReplaceTree(const RegTree& tree) {
    size_t keys = 0;
    for (RegRoot root : kRegRoots)
        keys += CountKeys(tree.Root(root));
    bool bulk = keys >= kBulkKeys;
    sqlite3* db = TheConnection().db;
    if (bulk)
        Execute(db, kWithoutOrderIndexes);
    Run("DELETE FROM vals").Step();
    Run("DELETE FROM keys").Step();
    for (RegRoot root : kRegRoots)
        InsertSubtree(RootId(root), FoldAscii(RootName(root)), tree.Root(root));
    if (bulk)
        Execute(db, kOrderIndexes);
}

RegistryDb& MachineRegistry() {
    static RegistryDb db;
    Begin();
    return db;
}

void WriteRegistryFile() {
    sim::MachineLock lock;
    std::string text = sim::FormatRegedit4(sim::MachineRegistry().ReadTree());
    sim::WriteMachineFile(sim::SeedFile(), text);
    std::string signature = sim::SeedSignature();
    sim::SetMetaValue("seed", signature);
    sim::TheConnection().seedSeen = signature;
}

} // namespace sim
