// SqliteStatementCache: the prepared statements of one SQLite connection,
// kept for reuse.  Preparing a statement costs far more than running a
// small one, and the registry runs the same few statements for every key
// part and value it touches.  A statement in use is not handed out twice:
// a nested use (a statement run while the same text is still being
// stepped) gets one of its own.  Not thread-safe: the owner's lock covers it.
#pragma once

#include <sqlite3.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace platform {

class SqliteStatementCache {
public:
    explicit SqliteStatementCache(sqlite3 *db) : db_(db) {}
    ~SqliteStatementCache() { clear(); }
    SqliteStatementCache(const SqliteStatementCache &) = delete;
    SqliteStatementCache &operator=(const SqliteStatementCache &) = delete;

    // A statement for `sql`, ready to bind; null with the SQLite result code
    // in *rc when it cannot be prepared.
    sqlite3_stmt *take(const char *sql, int *rc)
    {
        auto it = idle_.find(sql);
        if (it != idle_.end() && !it->second.empty()) {
            sqlite3_stmt *st = it->second.back();
            it->second.pop_back();
            *rc = SQLITE_OK;
            return st;
        }
        sqlite3_stmt *st = nullptr;
        *rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
        if (*rc != SQLITE_OK) {
            sqlite3_finalize(st);
            return nullptr;
        }
        return st;
    }

    // Takes a statement back: reset, its bindings cleared, kept for reuse.
    void give_back(const char *sql, sqlite3_stmt *st)
    {
        if (st == nullptr)
            return;
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        idle_[sql].push_back(st);
    }

    // Finalizes every statement not in use.
    void clear()
    {
        for (auto &entry : idle_)
            for (sqlite3_stmt *st : entry.second)
                sqlite3_finalize(st);
        idle_.clear();
    }

private:
    sqlite3 *db_;
    std::unordered_map<std::string, std::vector<sqlite3_stmt *>> idle_;
};

} // namespace platform
