#include "SqliteRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "PosixError.h"
#include "platform/Win32Error.h"

namespace platform {
namespace {

constexpr int kApplicationId = 0x4B455247;  // "KERG"
constexpr int kSchemaVersion = 1;
static_assert(kApplicationId == 1262834247, "the schema script sets this id");
constexpr sqlite3_int64 kRootKey = 1;
constexpr int kBusyTimeoutMs = 15000;
constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxValueNameChars = 16383;
constexpr int kMaxDepth = 512;

std::uint32_t win32_from_sqlite(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return kErrorSuccess;
    case SQLITE_NOMEM: return kErrorNotEnoughMemory;
    case SQLITE_ERROR:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA: return kErrorBadDb;
    case SQLITE_FULL: return 112;  // not enough space on the disk
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return kErrorAccessDenied;
    case SQLITE_CANTOPEN: return kErrorCantOpen;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return kErrorCantWrite;
    case SQLITE_TOOBIG: return kErrorInvalidParameter;
    default: return kErrorRegistryIoFailed;
    }
}

// A prepared statement that finalizes itself, or, taken from the
// connection's cache, goes back to it.
class Stmt {
public:
    Stmt(sqlite3 *db, const char *sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &st_, nullptr); }
    Stmt(SqliteStatementCache &cache, const char *sql) : cache_(&cache), sql_(sql)
    {
        st_ = cache.take(sql, &rc_);
    }
    ~Stmt()
    {
        if (cache_ != nullptr)
            cache_->give_back(sql_, st_);
        else
            sqlite3_finalize(st_);
    }
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;

    std::uint32_t error() const { return win32_from_sqlite(rc_); }
    bool ok() const { return rc_ == SQLITE_OK || rc_ == SQLITE_ROW || rc_ == SQLITE_DONE; }

    Stmt &bind(int i, sqlite3_int64 v)
    {
        if (ok())
            rc_ = sqlite3_bind_int64(st_, i, v);
        return *this;
    }
    Stmt &bind_text(int i, std::string_view v)
    {
        if (ok())
            rc_ = sqlite3_bind_text64(st_, i, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        return *this;
    }
    Stmt &bind_blob(int i, std::string_view v)
    {
        if (ok())
            rc_ = sqlite3_bind_blob64(st_, i, v.data(), v.size(), SQLITE_TRANSIENT);
        return *this;
    }
    // True for a row; false at the end or on an error (then error() != 0).
    bool step()
    {
        if (!ok())
            return false;
        rc_ = sqlite3_step(st_);
        return rc_ == SQLITE_ROW;
    }
    sqlite3_int64 int64(int col) { return sqlite3_column_int64(st_, col); }
    std::string bytes(int col)
    {
        const void *p = sqlite3_column_blob(st_, col);
        const int n = sqlite3_column_bytes(st_, col);
        return p != nullptr && n > 0 ? std::string(static_cast<const char *>(p), static_cast<std::size_t>(n))
                                     : std::string();
    }

private:
    SqliteStatementCache *cache_ = nullptr;
    const char *sql_ = nullptr;
    sqlite3_stmt *st_ = nullptr;
    int rc_ = SQLITE_OK;
};

std::size_t char_count(std::string_view s)
{
    std::size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    return n;
}

// Splits "A\B\C" into its parts.  The empty path is the root key; one
// trailing backslash is allowed; an empty or overlong part is refused.
std::uint32_t split_path(std::string_view path, std::vector<std::string_view> *parts)
{
    parts->clear();
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    if (path.empty())
        return kErrorSuccess;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('\\', start);
        const std::string_view part =
            path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part.empty() || char_count(part) > kMaxKeyNameChars)
            return kErrorInvalidParameter;
        parts->push_back(part);
        if (end == std::string_view::npos)
            return kErrorSuccess;
        start = end + 1;
    }
}

bool valid_value_name(std::string_view name)
{
    return char_count(name) <= kMaxValueNameChars;
}

// Narrows a file of ours that others may read to 0600; a file owned by
// someone else is left as it is.
void keep_private(const std::string &file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 0077) != 0)
        (void)::chmod(file.c_str(), 0600);
}

} // namespace

std::unique_ptr<Registry> SqliteRegistry::open_database(const std::string &path,
                                                        std::uint32_t *error, std::string *reason)
{
    // A new file is made here rather than by SQLite, which would make it
    // readable by everyone; its -wal and -shm files take its mode.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
    } else if (errno != EEXIST) {
        *error = win32_from_errno(errno);
        *reason = std::string("it cannot be created: ") + std::strerror(errno);
        return nullptr;
    }
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        *error = win32_from_sqlite(rc);
        *reason = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<SqliteRegistry> reg(new SqliteRegistry(db));
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    *error = reg->setup(reason);
    if (*error != kErrorSuccess) {
        if (reason->empty())
            *reason = sqlite3_errmsg(db);
        return nullptr;
    }
    for (const char *suffix : {"", "-wal", "-shm"})
        keep_private(path + suffix);
    return reg;
}

SqliteRegistry::~SqliteRegistry()
{
    statements_.clear();
    sqlite3_close_v2(db_);
}

std::uint32_t SqliteRegistry::exec(const char *sql)
{
    return win32_from_sqlite(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

// Checks that the database is ours (creating the schema in a new, empty
// one), then sets the journal and checks the file for damage.
std::uint32_t SqliteRegistry::setup(std::string *reason)
{
    auto header = [this](sqlite3_int64 *app_id, sqlite3_int64 *objects) -> std::uint32_t {
        Stmt id(db_, "PRAGMA application_id");
        if (!id.step())
            return id.ok() ? kErrorBadDb : id.error();
        *app_id = id.int64(0);
        Stmt count(db_, "SELECT count(*) FROM sqlite_master");
        if (!count.step())
            return count.ok() ? kErrorBadDb : count.error();
        *objects = count.int64(0);
        return kErrorSuccess;
    };

    sqlite3_int64 app_id = 0;
    sqlite3_int64 objects = 0;
    if (std::uint32_t rc = header(&app_id, &objects); rc != kErrorSuccess)
        return rc;
    if (app_id == 0 && objects == 0) {
        // New database; another process may be creating it at this moment.
        if (std::uint32_t rc = exec("BEGIN IMMEDIATE"); rc != kErrorSuccess)
            return rc;
        std::uint32_t rc = header(&app_id, &objects);
        if (rc == kErrorSuccess && app_id == 0 && objects == 0) {
            rc = exec("CREATE TABLE keys("
                      "  id INTEGER PRIMARY KEY,"
                      "  parent INTEGER REFERENCES keys(id),"
                      "  name TEXT NOT NULL COLLATE NOCASE);"
                      "CREATE UNIQUE INDEX keys_by_parent ON keys(parent, name);"
                      "CREATE TABLE vals("
                      "  key INTEGER NOT NULL REFERENCES keys(id),"
                      "  name TEXT NOT NULL COLLATE NOCASE,"
                      "  type INTEGER NOT NULL,"
                      "  data BLOB,"
                      "  PRIMARY KEY(key, name)) WITHOUT ROWID;"
                      "INSERT INTO keys(id, parent, name) VALUES(1, NULL, '');"
                      "PRAGMA application_id = 1262834247;"
                      "PRAGMA user_version = 1;");
            app_id = kApplicationId;
        }
        if (rc == kErrorSuccess)
            rc = exec("COMMIT");
        if (rc != kErrorSuccess) {
            exec("ROLLBACK");
            return rc;
        }
    }
    if (app_id != kApplicationId) {
        *reason = "it is another program's database, not a registry";
        return kErrorBadDb;
    }
    {
        Stmt version(db_, "PRAGMA user_version");
        if (!version.step())
            return version.ok() ? kErrorBadDb : version.error();
        if (version.int64(0) != kSchemaVersion) {
            *reason = "it is a registry of another version (" + std::to_string(version.int64(0)) + ")";
            return kErrorBadDb;
        }
    }
    {
        // WAL lets readers and one writer of several processes work at once.
        Stmt wal(db_, "PRAGMA journal_mode = WAL");
        if (!wal.step() && !wal.ok())
            return wal.error();
    }
    if (std::uint32_t rc = exec("PRAGMA synchronous = FULL"); rc != kErrorSuccess)
        return rc;
    Stmt check(db_, "PRAGMA quick_check(1)");
    if (!check.step())
        return check.ok() ? kErrorBadDb : check.error();
    if (check.bytes(0) != "ok") {
        *reason = "the database is damaged";
        return kErrorBadDb;
    }
    Stmt root(db_, "SELECT 1 FROM keys WHERE id = 1 AND parent IS NULL");
    if (!root.step()) {
        *reason = "the database is damaged";
        return root.ok() ? kErrorBadDb : root.error();
    }
    return kErrorSuccess;
}

// Runs `work` in a transaction of this connection, or in a savepoint of
// the one already open, so that an inner failure undoes only its own part.
std::uint32_t SqliteRegistry::run(const std::function<std::uint32_t()> &work, bool write)
{
    std::lock_guard lock(mutex_);
    const bool outer = depth_ == 0;
    if (std::uint32_t rc = exec(outer ? (write ? "BEGIN IMMEDIATE" : "BEGIN") : "SAVEPOINT inner");
        rc != kErrorSuccess)
        return rc;
    ++depth_;
    auto undo = [&] {
        if (outer) {
            if (sqlite3_get_autocommit(db_) == 0)
                exec("ROLLBACK");
        } else {
            exec("ROLLBACK TO inner");
            exec("RELEASE inner");
        }
        --depth_;
    };
    std::uint32_t rc = kErrorSuccess;
    try {
        rc = work();
    } catch (...) {
        undo();
        throw;
    }
    if (rc == kErrorSuccess) {
        rc = exec(outer ? "COMMIT" : "RELEASE inner");
        if (rc == kErrorSuccess) {
            --depth_;
            return rc;
        }
    }
    undo();
    return rc;
}

std::uint32_t SqliteRegistry::find_key(std::string_view path, bool create, sqlite3_int64 *id)
{
    std::vector<std::string_view> parts;
    if (std::uint32_t rc = split_path(path, &parts); rc != kErrorSuccess)
        return rc;
    sqlite3_int64 current = kRootKey;
    for (std::string_view part : parts) {
        Stmt find(statements_, "SELECT id FROM keys WHERE parent = ?1 AND name = ?2");
        find.bind(1, current).bind_text(2, part);
        if (find.step()) {
            current = find.int64(0);
            continue;
        }
        if (!find.ok())
            return find.error();
        if (!create)
            return kErrorFileNotFound;
        Stmt insert(statements_, "INSERT INTO keys(parent, name) VALUES(?1, ?2)");
        insert.bind(1, current).bind_text(2, part);
        insert.step();
        if (!insert.ok())
            return insert.error();
        current = sqlite3_last_insert_rowid(db_);
    }
    *id = current;
    return kErrorSuccess;
}

std::uint32_t SqliteRegistry::create_key(std::string_view path)
{
    return run([&]() -> std::uint32_t {
        sqlite3_int64 id = 0;
        return find_key(path, true, &id);
    }, true);
}

std::uint32_t SqliteRegistry::open_key(std::string_view path)
{
    return run([&]() -> std::uint32_t {
        sqlite3_int64 id = 0;
        return find_key(path, false, &id);
    }, false);
}

std::uint32_t SqliteRegistry::set_value(std::string_view path, std::string_view name,
                                        const RegValue &v)
{
    if (!valid_value_name(name))
        return kErrorInvalidParameter;
    return run([&]() -> std::uint32_t {
        sqlite3_int64 id = 0;
        if (std::uint32_t rc = find_key(path, true, &id); rc != kErrorSuccess)
            return rc;
        // An existing value keeps the case of its name, as on Windows.
        Stmt upsert(statements_, "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
                         "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, "
                         "data = excluded.data");
        upsert.bind(1, id).bind_text(2, name).bind(3, static_cast<sqlite3_int64>(v.type));
        if (v.type == RegType::Dword)
            upsert.bind(4, static_cast<sqlite3_int64>(v.dword));
        else
            upsert.bind_blob(4, v.text);
        upsert.step();
        return upsert.error();
    }, true);
}

std::uint32_t SqliteRegistry::set_string(std::string_view path, std::string_view name,
                                         std::string_view value)
{
    RegValue v;
    v.type = RegType::String;
    v.text = value;
    return set_value(path, name, v);
}

std::uint32_t SqliteRegistry::set_dword(std::string_view path, std::string_view name,
                                        std::uint32_t value)
{
    RegValue v;
    v.type = RegType::Dword;
    v.dword = value;
    return set_value(path, name, v);
}

std::uint32_t SqliteRegistry::find_value(std::string_view path, std::string_view name,
                                         RegValue *out)
{
    return run([&]() -> std::uint32_t {
        sqlite3_int64 id = 0;
        if (std::uint32_t rc = find_key(path, false, &id); rc != kErrorSuccess)
            return rc;
        Stmt get(statements_, "SELECT name, type, data FROM vals WHERE key = ?1 AND name = ?2");
        get.bind(1, id).bind_text(2, name);
        if (!get.step())
            return get.ok() ? kErrorFileNotFound : get.error();
        out->name = get.bytes(0);
        const sqlite3_int64 type = get.int64(1);
        if (type == static_cast<sqlite3_int64>(RegType::Dword)) {
            out->type = RegType::Dword;
            out->dword = static_cast<std::uint32_t>(get.int64(2));
        } else if (type == static_cast<sqlite3_int64>(RegType::String)) {
            out->type = RegType::String;
            out->text = get.bytes(2);
        } else {
            return kErrorBadDb;
        }
        return kErrorSuccess;
    }, false);
}

std::uint32_t SqliteRegistry::query_string(std::string_view path, std::string_view name,
                                           std::string *value)
{
    RegValue v;
    if (std::uint32_t rc = find_value(path, name, &v); rc != kErrorSuccess)
        return rc;
    if (v.type != RegType::String)
        return kErrorInvalidData;
    *value = std::move(v.text);
    return kErrorSuccess;
}

std::uint32_t SqliteRegistry::query_dword(std::string_view path, std::string_view name,
                                          std::uint32_t *value)
{
    RegValue v;
    if (std::uint32_t rc = find_value(path, name, &v); rc != kErrorSuccess)
        return rc;
    if (v.type != RegType::Dword)
        return kErrorInvalidData;
    *value = v.dword;
    return kErrorSuccess;
}

std::uint32_t SqliteRegistry::delete_value(std::string_view path, std::string_view name)
{
    return run([&]() -> std::uint32_t {
        sqlite3_int64 id = 0;
        if (std::uint32_t rc = find_key(path, false, &id); rc != kErrorSuccess)
            return rc;
        Stmt del(statements_, "DELETE FROM vals WHERE key = ?1 AND name = ?2");
        del.bind(1, id).bind_text(2, name);
        del.step();
        if (!del.ok())
            return del.error();
        return sqlite3_changes(db_) == 0 ? kErrorFileNotFound : kErrorSuccess;
    }, true);
}

std::uint32_t SqliteRegistry::enum_values(std::string_view path, std::vector<RegValue> *values)
{
    return run([&]() -> std::uint32_t {
        sqlite3_int64 id = 0;
        if (std::uint32_t rc = find_key(path, false, &id); rc != kErrorSuccess)
            return rc;
        HiveKey key;
        if (std::uint32_t rc = read_tree(id, -1, &key); rc != kErrorSuccess)
            return rc;
        *values = std::move(key.values);
        return kErrorSuccess;
    }, false);
}

std::uint32_t SqliteRegistry::enum_subkeys(std::string_view path, std::vector<std::string> *names)
{
    return run([&]() -> std::uint32_t {
        sqlite3_int64 id = 0;
        if (std::uint32_t rc = find_key(path, false, &id); rc != kErrorSuccess)
            return rc;
        std::vector<std::string> result;
        Stmt list(statements_, "SELECT name FROM keys WHERE parent = ?1 ORDER BY name, id");
        list.bind(1, id);
        while (list.step())
            result.push_back(list.bytes(0));
        if (!list.ok())
            return list.error();
        *names = std::move(result);
        return kErrorSuccess;
    }, false);
}

std::uint32_t SqliteRegistry::delete_key(std::string_view path)
{
    return run([&]() -> std::uint32_t {
        sqlite3_int64 id = 0;
        if (std::uint32_t rc = find_key(path, false, &id); rc != kErrorSuccess)
            return rc;
        if (id == kRootKey)
            return kErrorAccessDenied;
        Stmt child(statements_, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
        child.bind(1, id);
        if (child.step())
            return kErrorAccessDenied;  // still has subkeys, as on Windows
        if (!child.ok())
            return child.error();
        if (std::uint32_t rc = clear_key(id); rc != kErrorSuccess)
            return rc;
        Stmt del(statements_, "DELETE FROM keys WHERE id = ?1");
        del.bind(1, id);
        del.step();
        return del.error();
    }, true);
}

std::uint32_t SqliteRegistry::transact(const std::function<std::uint32_t()> &work)
{
    return run(work, true);
}

// Reads the values of key `id` and, unless `depth` is negative, its whole
// subtree.
std::uint32_t SqliteRegistry::read_tree(sqlite3_int64 id, int depth, HiveKey *out)
{
    if (depth > kMaxDepth)
        return kErrorBadDb;
    Stmt vals(statements_, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY name, "
                   "CAST(name AS BLOB)");
    vals.bind(1, id);
    while (vals.step()) {
        RegValue v;
        v.name = vals.bytes(0);
        const sqlite3_int64 type = vals.int64(1);
        if (type == static_cast<sqlite3_int64>(RegType::Dword)) {
            v.type = RegType::Dword;
            v.dword = static_cast<std::uint32_t>(vals.int64(2));
        } else if (type == static_cast<sqlite3_int64>(RegType::String)) {
            v.type = RegType::String;
            v.text = vals.bytes(2);
        } else {
            return kErrorBadDb;
        }
        out->values.push_back(std::move(v));
    }
    if (!vals.ok())
        return vals.error();
    if (depth < 0)
        return kErrorSuccess;
    Stmt subs(statements_, "SELECT id, name FROM keys WHERE parent = ?1 ORDER BY name, id");
    subs.bind(1, id);
    std::vector<std::pair<sqlite3_int64, std::string>> children;
    while (subs.step())
        children.emplace_back(subs.int64(0), subs.bytes(1));
    if (!subs.ok())
        return subs.error();
    for (auto &[child_id, name] : children) {
        HiveKey sub;
        sub.name = std::move(name);
        if (std::uint32_t rc = read_tree(child_id, depth + 1, &sub); rc != kErrorSuccess)
            return rc;
        out->subkeys.push_back(std::move(sub));
    }
    return kErrorSuccess;
}

// Removes the values and the whole subtree of key `id`, keeping the key.
std::uint32_t SqliteRegistry::clear_key(sqlite3_int64 id)
{
    static const char *const kSql[] = {
        "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL "
        "SELECT keys.id FROM keys JOIN sub ON keys.parent = sub.id) "
        "DELETE FROM vals WHERE key IN sub",
        "WITH RECURSIVE sub(id) AS (SELECT id FROM keys WHERE parent = ?1 UNION ALL "
        "SELECT keys.id FROM keys JOIN sub ON keys.parent = sub.id) "
        "DELETE FROM keys WHERE id IN sub",
    };
    for (const char *sql : kSql) {
        Stmt del(statements_, sql);
        del.bind(1, id);
        del.step();
        if (!del.ok())
            return del.error();
    }
    return kErrorSuccess;
}

std::uint32_t SqliteRegistry::write_tree(sqlite3_int64 id, const HiveKey &key)
{
    for (const RegValue &v : key.values) {
        if (!valid_value_name(v.name))
            return kErrorRegistryCorrupt;
        Stmt ins(statements_, "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4)");
        ins.bind(1, id).bind_text(2, v.name).bind(3, static_cast<sqlite3_int64>(v.type));
        if (v.type == RegType::Dword)
            ins.bind(4, static_cast<sqlite3_int64>(v.dword));
        else
            ins.bind_blob(4, v.text);
        ins.step();
        if (!ins.ok())
            return (ins.error() == kErrorBadDb) ? kErrorRegistryCorrupt : ins.error();
    }
    for (const HiveKey &sub : key.subkeys) {
        if (sub.name.empty() || sub.name.find('\\') != std::string::npos ||
            char_count(sub.name) > kMaxKeyNameChars)
            return kErrorRegistryCorrupt;
        Stmt ins(statements_, "INSERT INTO keys(parent, name) VALUES(?1, ?2)");
        ins.bind(1, id).bind_text(2, sub.name);
        ins.step();
        if (!ins.ok())
            return (ins.error() == kErrorBadDb) ? kErrorRegistryCorrupt : ins.error();
        if (std::uint32_t rc = write_tree(sqlite3_last_insert_rowid(db_), sub); rc != kErrorSuccess)
            return rc;
    }
    return kErrorSuccess;
}

std::uint32_t SqliteRegistry::save_key(std::string_view path, const std::string &file)
{
    HiveKey tree;
    const std::uint32_t rc = run([&]() -> std::uint32_t {
        sqlite3_int64 id = 0;
        if (std::uint32_t r = find_key(path, false, &id); r != kErrorSuccess)
            return r;
        return read_tree(id, 0, &tree);
    }, false);
    if (rc != kErrorSuccess)
        return rc;
    return HiveFile::save(tree, file);
}

std::uint32_t SqliteRegistry::restore_key(std::string_view path, const std::string &file)
{
    // The whole file is read and checked before anything is changed.
    HiveKey tree;
    if (std::uint32_t rc = HiveFile::load(file, &tree); rc != kErrorSuccess)
        return rc;
    return run([&]() -> std::uint32_t {
        sqlite3_int64 id = 0;
        if (std::uint32_t rc = find_key(path, true, &id); rc != kErrorSuccess)
            return rc;
        if (std::uint32_t rc = clear_key(id); rc != kErrorSuccess)
            return rc;
        return write_tree(id, tree);
    }, true);
}

} // namespace platform
