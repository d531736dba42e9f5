// The registry on platforms without one: each hive a SQLite database file. Keys form a tree
// (id, parent, name); values belong to a key and keep their type and exact bytes. Every change
// is one transaction, so a crash or a second process never sees half a write.
#include <sqlite3.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/paths.h"
#include "base/text.h"
#include "registry/hive_names.h"
#include "registry/hives.h"
#include "registry/reg_api.h"

namespace {

constexpr long kKeyDeleted = 1018;
constexpr std::uint32_t kQueryBits = 0x0001 | 0x0008;  // KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS
constexpr std::uint32_t kSetBits = 0x0002 | 0x0004;    // KEY_SET_VALUE | KEY_CREATE_SUB_KEY

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, name BLOB NOT NULL,"
    " folded BLOB NOT NULL, UNIQUE(parent, folded));"
    "CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL, name BLOB NOT NULL, folded BLOB NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, folded));"
    // Values in the order they were made, per key, so enumeration is a step along an index.
    "CREATE INDEX IF NOT EXISTS vals_in_order ON vals(key);";

struct Hive {
    sqlite3* db = nullptr;
    bool absent = false;  // no file yet: reads see an empty hive, the first write makes it
    bool readOnly = false;
    bool unusable = false;  // the file exists but is no hive
    ~Hive() {
        if (db) sqlite3_close_v2(db);
    }
};

struct OpenKey {
    reg::Key hive;
    sqlite3_int64 id;
    std::uint32_t access;
};

std::filesystem::path g_machineFolder, g_userFolder;
std::function<void(const std::string&)> g_reporter;
std::set<std::string> g_reported;  // hive files whose problem the user was told about

// How long a hive locked by another program is waited for before it reads as empty.
constexpr int kLockWaitMs = 2000;

void Report(const std::string& file, const std::string& text) {
    if (!g_reported.insert(file).second || !g_reporter) return;
    g_reporter(text);
}

// Moves a damaged hive file aside under a name no file has yet, so that nothing in it is lost.
std::filesystem::path MoveAside(const std::filesystem::path& file) {
    std::error_code ec;
    for (int n = 0; n < 1000; ++n) {
        std::filesystem::path aside = file;
        aside += n == 0 ? ".damaged" : ".damaged." + std::to_string(n);
        if (std::filesystem::exists(aside, ec)) continue;
        std::filesystem::rename(file, aside, ec);
        return ec ? std::filesystem::path() : aside;
    }
    return {};
}

// What a first look at an opened hive file finds.
enum class Health { Sound, Damaged, Locked };

Health Examine(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &stmt, nullptr);
    bool ok = false;
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            ok = text && std::string_view(text) == "ok";
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(stmt);
    if ((rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED) return Health::Locked;
    return ok ? Health::Sound : Health::Damaged;
}
bool g_foldersSet = false;
std::map<reg::Key, std::unique_ptr<Hive>> g_hives;
std::map<reg::Key, OpenKey> g_open;

// Where the last enumeration through a handle stopped, so that asking for the next index
// continues from there instead of counting from the first entry again (which made walking a
// key of n entries take n * n steps).
struct EnumCursor {
    reg::Key handle = 0;
    const void* hive = nullptr;
    sqlite3_int64 id = -1;
    std::uint32_t next = 0;       // the index that continues the walk
    sqlite3_int64 lastRowid = 0;  // values: the last one given
    std::string lastFolded;       // subkeys: the last one given
    bool continues(reg::Key h, const void* hv, sqlite3_int64 keyId, std::uint32_t index) const {
        return index > 0 && h == handle && hv == hive && keyId == id && index == next;
    }
};
EnumCursor g_valueCursor, g_keyCursor;
reg::Key g_nextHandle = 0x1000;

// The hive of a predefined handle. Reading never makes a file or a folder: a hive whose file
// does not exist reads as empty until `create` asks for it, as the first write does.
Hive* GetHive(reg::Key predefined, bool create = false) {
    const reg::HiveName* name = reg::HiveOf(predefined);
    if (!name) return nullptr;
    const std::string fileName = std::string(name->longName) + ".hive";
    auto found = g_hives.find(predefined);
    if (found != g_hives.end() && !(create && found->second->absent)) return found->second.get();

    auto hive = std::make_unique<Hive>();
    const std::filesystem::path folder = predefined == reg::kCurrentUser ? hives::UserFolder() : hives::MachineFolder();
    std::error_code ec;
    if (!create && !std::filesystem::exists(folder / fileName, ec)) {
        hive->absent = true;
        Hive* raw = hive.get();
        g_hives[predefined] = std::move(hive);
        return raw;
    }
    std::filesystem::create_directories(folder, ec);
    const std::string file = (folder / fileName).string();
    if (sqlite3_open_v2(file.c_str(), &hive->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(hive->db);
        hive->db = nullptr;
        hive->readOnly = true;
        if (sqlite3_open_v2(file.c_str(), &hive->db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(hive->db);
            hive->db = nullptr;  // no file and none can be made: an empty hive that refuses writes
        }
    }
    if (hive->db) {
        sqlite3_busy_timeout(hive->db, kLockWaitMs);
        const Health health = Examine(hive->db);
        if (health != Health::Sound) {
            sqlite3_close_v2(hive->db);
            hive->db = nullptr;
            if (health == Health::Locked) {
                // Read as empty and refuse writes this run; the file is left as it is.
                hive->readOnly = true;
                Report(file, "The settings file " + file +
                                 " is locked by another program. The program uses its default settings "
                                 "and cannot save settings there until it is started again.");
            } else {
                const std::filesystem::path aside = MoveAside(folder / fileName);
                if (aside.empty()) {
                    hive->readOnly = true;  // it cannot even be moved: read as empty, never overwrite it
                    Report(file, "The settings file " + file + " is damaged and could not be moved aside.");
                } else {
                    // The hive starts empty; the first write makes a new file.
                    hive->absent = true;
                    Report(file, "The settings file " + file + " was damaged. It was kept as " + aside.string() +
                                     " and the program starts with its default settings.");
                }
            }
            Hive* raw = hive.get();
            g_hives[predefined] = std::move(hive);
            return raw;
        }
        sqlite3_exec(hive->db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        const int rc = hive->readOnly ? SQLITE_READONLY : sqlite3_exec(hive->db, kSchema, nullptr, nullptr, nullptr);
        if (rc == SQLITE_READONLY || rc == SQLITE_CANTOPEN || rc == SQLITE_PERM || rc == SQLITE_AUTH) {
            hive->readOnly = true;
        } else if (rc != SQLITE_OK) {
            hive->unusable = true;
        }
        if (hive->readOnly &&
            sqlite3_exec(hive->db, "SELECT count(*) FROM keys", nullptr, nullptr, nullptr) != SQLITE_OK) {
            // Read-only and without our tables: nothing to read.
            sqlite3_close_v2(hive->db);
            hive->db = nullptr;
        }
    }
    Hive* raw = hive.get();
    g_hives[predefined] = std::move(hive);
    return raw;
}

long StatusOf(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW: return reg::kSuccess;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
        case SQLITE_CANTOPEN: return reg::kAccessDenied;
        default: return reg::kBadDb;
    }
}

// A prepared statement that finalizes itself.
class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Stmt() { sqlite3_finalize(m_stmt); }
    bool ok() const { return m_rc == SQLITE_OK; }
    int rc() const { return m_rc; }
    Stmt& bind(int i, sqlite3_int64 v) {
        sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Stmt& bind(int i, std::string_view bytes) {
        sqlite3_bind_blob64(m_stmt, i, bytes.empty() ? "" : bytes.data(), bytes.size(), SQLITE_TRANSIENT);
        return *this;
    }
    int step() { return m_rc = sqlite3_step(m_stmt); }
    sqlite3_int64 integer(int col) const { return sqlite3_column_int64(m_stmt, col); }
    std::string bytes(int col) const {
        const void* p = sqlite3_column_blob(m_stmt, col);
        const int n = sqlite3_column_bytes(m_stmt, col);
        return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc;
};

// One write transaction: rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : m_db(db) {
        m_rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    }
    ~Transaction() {
        if (m_rc == SQLITE_OK && !m_done) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    int began() const { return m_rc; }
    int commit() {
        m_done = true;
        const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return rc;
    }

private:
    sqlite3* m_db;
    int m_rc;
    bool m_done = false;
};

struct Resolved {
    Hive* hive = nullptr;
    reg::Key predefined = 0;
    sqlite3_int64 id = 0;
    std::uint32_t access = 0;
};

bool KeyAlive(Hive* hive, sqlite3_int64 id) {
    if (id == 0) return true;
    Stmt s(hive->db, "SELECT 1 FROM keys WHERE id=?");
    return s.bind(1, id).step() == SQLITE_ROW;
}

// Looks up a handle. Status kSuccess with hive->db null means an empty, unwritable hive.
long Resolve(reg::Key key, Resolved& out) {
    if (reg::HiveOf(key)) {
        out.predefined = key;
        out.id = 0;
        out.access = reg::kAllAccess;
    } else {
        auto it = g_open.find(key);
        if (it == g_open.end()) return reg::kInvalidHandle;
        out.predefined = it->second.hive;
        out.id = it->second.id;
        out.access = it->second.access;
    }
    out.hive = GetHive(out.predefined);
    if (!out.hive) return reg::kInvalidHandle;
    if (out.hive->unusable) return reg::kBadDb;
    if (out.hive->db && !KeyAlive(out.hive, out.id)) return kKeyDeleted;
    return reg::kSuccess;
}

std::string Fold(std::string_view name) { return text::FoldCase(name); }

bool SplitPath(std::string_view path, std::vector<std::string_view>& parts) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t bs = path.find('\\', start);
        if (bs == std::string_view::npos) bs = path.size();
        const std::string_view part = path.substr(start, bs - start);
        if (!part.empty()) {
            if (part.size() > reg::kMaxKeyNameLength) return false;
            parts.push_back(part);
        }
        start = bs + 1;
    }
    return parts.size() <= reg::kMaxDepth;
}

// Finds the key `path` below `from`; 0 when absent (0 is also the root, so callers compare
// with the path's emptiness).
bool FindKey(Hive* hive, sqlite3_int64 from, const std::vector<std::string_view>& parts, sqlite3_int64& id) {
    id = from;
    for (std::string_view part : parts) {
        if (!hive->db) return false;
        Stmt s(hive->db, "SELECT id FROM keys WHERE parent=? AND folded=?");
        if (s.bind(1, id).bind(2, Fold(part)).step() != SQLITE_ROW) return false;
        id = s.integer(0);
    }
    return true;
}

reg::Key NewHandle(reg::Key hive, sqlite3_int64 id, std::uint32_t access) {
    const reg::Key handle = g_nextHandle;
    g_nextHandle += 4;
    g_open[handle] = OpenKey{hive, id, access};
    return handle;
}

// Whether the hive of `r` takes writes; a hive without a file gets one now.
long Writable(Resolved& r) {
    if (r.hive->absent) r.hive = GetHive(r.predefined, true);
    if (!r.hive->db || r.hive->readOnly) return reg::kAccessDenied;
    return reg::kSuccess;
}

}  // namespace

void hives::SetProblemReporter(std::function<void(const std::string&)> reporter) { g_reporter = std::move(reporter); }

void SetHiveFolders(const std::filesystem::path& machineFolder, const std::filesystem::path& userFolder) {
    g_reported.clear();
    g_open.clear();
    g_hives.clear();
    g_valueCursor = {};
    g_keyCursor = {};
    g_machineFolder = machineFolder;
    g_userFolder = userFolder;
    g_foldersSet = true;
}

namespace hives {

std::filesystem::path MachineFolder() {
    if (g_foldersSet) return g_machineFolder;
    if (const char* folder = std::getenv(kMachineFolderVariable); folder && *folder) return folder;
    return "/var/lib/marlu-viewer/registry";
}

std::filesystem::path UserFolder() {
    return g_foldersSet ? g_userFolder : base::UserConfigFolder() / "marlu-viewer" / "registry";
}

}  // namespace hives

namespace reg {

long CreateKey(Key parent, std::string_view subKey, Key* result) {
    if (result) *result = 0;
    Resolved r;
    if (long st = Resolve(parent, r)) return st;
    std::vector<std::string_view> parts;
    if (!SplitPath(subKey, parts)) return kInvalidParameter;
    sqlite3_int64 id = 0;
    if (FindKey(r.hive, r.id, parts, id)) {
        if (result) *result = NewHandle(r.predefined, id, kAllAccess);
        return kSuccess;
    }
    if (long st = Writable(r)) return st;
    if ((r.access & 0x0004) == 0) return kAccessDenied;
    Transaction tx(r.hive->db);
    if (tx.began() != SQLITE_OK) return StatusOf(tx.began());
    id = r.id;
    for (std::string_view part : parts) {
        Stmt find(r.hive->db, "SELECT id FROM keys WHERE parent=? AND folded=?");
        if (find.bind(1, id).bind(2, Fold(part)).step() == SQLITE_ROW) {
            id = find.integer(0);
            continue;
        }
        Stmt add(r.hive->db, "INSERT INTO keys(parent, name, folded) VALUES(?, ?, ?)");
        if (add.bind(1, id).bind(2, part).bind(3, Fold(part)).step() != SQLITE_DONE) return StatusOf(add.rc());
        id = sqlite3_last_insert_rowid(r.hive->db);
    }
    if (int rc = tx.commit(); rc != SQLITE_OK) return StatusOf(rc);
    if (result) *result = NewHandle(r.predefined, id, kAllAccess);
    return kSuccess;
}

long OpenKey(Key parent, std::string_view subKey, std::uint32_t access, Key* result) {
    if (result) *result = 0;
    Resolved r;
    if (long st = Resolve(parent, r)) return st;
    std::vector<std::string_view> parts;
    if (!SplitPath(subKey, parts)) return kInvalidParameter;
    sqlite3_int64 id = 0;
    if (!FindKey(r.hive, r.id, parts, id)) return kFileNotFound;
    // Write access to a hive that cannot be written is refused at the open, as the registry
    // refuses a key the account may not change.
    if ((access & kSetBits) && Writable(r)) return kAccessDenied;
    if (result) *result = NewHandle(r.predefined, id, access);
    return kSuccess;
}

long CloseKey(Key key) {
    if (HiveOf(key)) return kSuccess;
    return g_open.erase(key) ? kSuccess : kInvalidHandle;
}

long SetValue(Key key, std::string_view name, std::uint32_t type, std::string_view data) {
    Resolved r;
    if (long st = Resolve(key, r)) return st;
    if ((r.access & 0x0002) == 0) return kAccessDenied;
    if (long st = Writable(r)) return st;
    if (name.size() > kMaxValueNameLength) return kInvalidParameter;
    Transaction tx(r.hive->db);
    if (tx.began() != SQLITE_OK) return StatusOf(tx.began());
    Stmt s(r.hive->db,
           "INSERT INTO vals(key, name, folded, type, data) VALUES(?, ?, ?, ?, ?) "
           "ON CONFLICT(key, folded) DO UPDATE SET type=excluded.type, data=excluded.data");
    if (s.bind(1, r.id).bind(2, name).bind(3, Fold(name)).bind(4, type).bind(5, data).step() != SQLITE_DONE)
        return StatusOf(s.rc());
    return StatusOf(tx.commit());
}

long QueryValue(Key key, std::string_view name, std::uint32_t* type, std::string* data) {
    Resolved r;
    if (long st = Resolve(key, r)) return st;
    if ((r.access & 0x0001) == 0) return kAccessDenied;
    if (!r.hive->db) return kFileNotFound;
    Stmt s(r.hive->db, "SELECT type, data FROM vals WHERE key=? AND folded=?");
    const int rc = s.bind(1, r.id).bind(2, Fold(name)).step();
    if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? kFileNotFound : StatusOf(rc);
    if (type) *type = static_cast<std::uint32_t>(s.integer(0));
    if (data) *data = s.bytes(1);
    return kSuccess;
}

long EnumKey(Key key, std::uint32_t index, std::string* name) {
    Resolved r;
    if (long st = Resolve(key, r)) return st;
    if ((r.access & kQueryBits) == 0) return kAccessDenied;
    if (!r.hive->db) return kNoMoreItems;
    const bool follows = g_keyCursor.continues(key, r.hive, r.id, index);
    Stmt s(r.hive->db, follows ? "SELECT name, folded FROM keys WHERE parent=? AND folded>? ORDER BY folded LIMIT 1"
                               : "SELECT name, folded FROM keys WHERE parent=? ORDER BY folded LIMIT 1 OFFSET ?");
    s.bind(1, r.id);
    if (follows)
        s.bind(2, g_keyCursor.lastFolded);
    else
        s.bind(2, static_cast<sqlite3_int64>(index));
    const int rc = s.step();
    if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? kNoMoreItems : StatusOf(rc);
    if (name) *name = s.bytes(0);
    g_keyCursor = EnumCursor{key, r.hive, r.id, index + 1, 0, s.bytes(1)};
    return kSuccess;
}

long EnumValue(Key key, std::uint32_t index, std::string* name, std::uint32_t* type, std::string* data) {
    Resolved r;
    if (long st = Resolve(key, r)) return st;
    if ((r.access & 0x0001) == 0) return kAccessDenied;
    if (!r.hive->db) return kNoMoreItems;
    const bool follows = g_valueCursor.continues(key, r.hive, r.id, index);
    Stmt s(r.hive->db, follows
                           ? "SELECT name, type, data, rowid FROM vals WHERE key=? AND rowid>? ORDER BY rowid LIMIT 1"
                           : "SELECT name, type, data, rowid FROM vals WHERE key=? ORDER BY rowid LIMIT 1 OFFSET ?");
    s.bind(1, r.id).bind(2, follows ? g_valueCursor.lastRowid : static_cast<sqlite3_int64>(index));
    const int rc = s.step();
    if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? kNoMoreItems : StatusOf(rc);
    if (name) *name = s.bytes(0);
    if (type) *type = static_cast<std::uint32_t>(s.integer(1));
    if (data) *data = s.bytes(2);
    g_valueCursor = EnumCursor{key, r.hive, r.id, index + 1, s.integer(3), {}};
    return kSuccess;
}

long DeleteKey(Key key, std::string_view subKey) {
    Resolved r;
    if (long st = Resolve(key, r)) return st;
    std::vector<std::string_view> parts;
    if (!SplitPath(subKey, parts)) return kInvalidParameter;
    sqlite3_int64 id = 0;
    if (!FindKey(r.hive, r.id, parts, id)) return kFileNotFound;
    if (id == 0) return kAccessDenied;  // a hive itself is never deleted
    if (long st = Writable(r)) return st;
    Transaction tx(r.hive->db);
    if (tx.began() != SQLITE_OK) return StatusOf(tx.began());
    Stmt children(r.hive->db, "SELECT 1 FROM keys WHERE parent=? LIMIT 1");
    if (children.bind(1, id).step() == SQLITE_ROW) return kAccessDenied;
    Stmt values(r.hive->db, "DELETE FROM vals WHERE key=?");
    if (values.bind(1, id).step() != SQLITE_DONE) return StatusOf(values.rc());
    Stmt self(r.hive->db, "DELETE FROM keys WHERE id=?");
    if (self.bind(1, id).step() != SQLITE_DONE) return StatusOf(self.rc());
    return StatusOf(tx.commit());
}

long DeleteValue(Key key, std::string_view name) {
    Resolved r;
    if (long st = Resolve(key, r)) return st;
    if ((r.access & 0x0002) == 0) return kAccessDenied;
    if (long st = Writable(r)) return st;
    Transaction tx(r.hive->db);
    if (tx.began() != SQLITE_OK) return StatusOf(tx.began());
    Stmt s(r.hive->db, "DELETE FROM vals WHERE key=? AND folded=?");
    if (s.bind(1, r.id).bind(2, Fold(name)).step() != SQLITE_DONE) return StatusOf(s.rc());
    if (sqlite3_changes(r.hive->db) == 0) return kFileNotFound;
    return StatusOf(tx.commit());
}

}  // namespace reg
