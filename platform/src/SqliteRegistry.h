// The registry kept in an SQLite database.
//
// Schema: `keys` (id, parent, name) with the root key as id 1, and `vals`
// (key, name, type, data); names compare with NOCASE (ASCII, as the
// registry compares them).  The database is marked as ours with an
// application id, so a foreign or damaged file is refused with 1009.
//
// The file and its -wal and -shm files are kept at mode 0600: profiles hold
// WEP keys.
//
// Durability: WAL journal with synchronous=FULL, so a commit is on disk
// when the call returns (NORMAL would only keep the database consistent and
// could lose the last commits on power loss).  Writes take the write lock at
// the start of their transaction (BEGIN IMMEDIATE) and wait up to the busy
// time-out for other processes.
#pragma once

#include <sqlite3.h>

#include <mutex>
#include <optional>

#include "HiveFile.h"
#include "SqliteStatementCache.h"
#include "platform/Registry.h"

namespace platform {

class SqliteRegistry final : public Registry {
public:
    // *reason gets a short text for the user when the open fails.
    static std::unique_ptr<Registry> open_database(const std::string &path, std::uint32_t *error,
                                                   std::string *reason);
    ~SqliteRegistry() override;

    std::uint32_t create_key(std::string_view path) override;
    std::uint32_t open_key(std::string_view path) override;
    std::uint32_t set_string(std::string_view path, std::string_view name,
                             std::string_view value) override;
    std::uint32_t set_dword(std::string_view path, std::string_view name,
                            std::uint32_t value) override;
    std::uint32_t query_string(std::string_view path, std::string_view name,
                               std::string *value) override;
    std::uint32_t query_dword(std::string_view path, std::string_view name,
                              std::uint32_t *value) override;
    std::uint32_t delete_value(std::string_view path, std::string_view name) override;
    std::uint32_t enum_values(std::string_view path, std::vector<RegValue> *values) override;
    std::uint32_t enum_subkeys(std::string_view path, std::vector<std::string> *names) override;
    std::uint32_t delete_key(std::string_view path) override;
    std::uint32_t transact(const std::function<std::uint32_t()> &work) override;
    std::uint32_t save_key(std::string_view path, const std::string &file) override;
    std::uint32_t restore_key(std::string_view path, const std::string &file) override;

private:
    explicit SqliteRegistry(sqlite3 *db) : db_(db), statements_(db) {}

    std::uint32_t setup(std::string *reason);
    std::uint32_t exec(const char *sql);
    std::uint32_t run(const std::function<std::uint32_t()> &work, bool write);
    std::uint32_t find_key(std::string_view path, bool create, sqlite3_int64 *id);
    std::uint32_t find_value(std::string_view path, std::string_view name, RegValue *out);
    std::uint32_t set_value(std::string_view path, std::string_view name, const RegValue &v);
    std::uint32_t read_tree(sqlite3_int64 id, int depth, HiveKey *out);
    std::uint32_t write_tree(sqlite3_int64 id, const HiveKey &key);
    std::uint32_t clear_key(sqlite3_int64 id);

    sqlite3 *db_;
    SqliteStatementCache statements_;  // guarded by mutex_
    std::recursive_mutex mutex_;
    int depth_ = 0;  // transactions open on this connection
};

} // namespace platform
