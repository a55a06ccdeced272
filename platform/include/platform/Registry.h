// The registry of the current user, kept in an SQLite database.
//
// Keys are addressed by their path below HKEY_CURRENT_USER, with backslashes
// between the parts ("Software\\Dovrel\\Configuration Utility\\Profile 0").
// Key and value names compare case-insensitively (ASCII), as on Windows, and
// keep the case they were created with.  Values are REG_SZ (a byte string,
// normally UTF-8) or REG_DWORD.  Every operation returns a Win32 error code
// (platform::Win32Error); every write is durable when the call returns.
//
// One Registry object may be used from several threads; several processes
// may open the same database at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RegType : std::uint32_t { String = 1 /* REG_SZ */, Dword = 4 /* REG_DWORD */ };

struct RegValue {
    std::string name;
    RegType type = RegType::String;
    std::string text;         // REG_SZ
    std::uint32_t dword = 0;  // REG_DWORD
};

class Registry {
public:
    // $KESTROW_REGISTRY when set, else $XDG_CONFIG_HOME/kestrow/registry.sqlite3
    // (XDG_CONFIG_HOME defaults to ~/.config).
    static std::string default_path();

    // Opens (creating when missing, with its folder) the database at `path`.
    // Null with *error set when it cannot be opened or is not a registry
    // database; then *reason, when given, says why in a few words for the
    // user ("file is not a database").  The file holds WEP keys: a new one
    // is made readable by its owner only (its folder 0700), and an existing
    // one of ours with wider permissions is narrowed to 0600 when we own it.
    // A database that is not ours is refused without being written.
    static std::unique_ptr<Registry> open(const std::string &path, std::uint32_t *error,
                                          std::string *reason = nullptr);

    // The process-wide registry of the current user, opened at default_path()
    // on first use.  Null when it cannot be opened; a failed open is not
    // retried (current_user_failure() tells why) until the next
    // set_current_user_path().
    static Registry *current_user();
    // Replaces the process-wide registry by the one at `path` (tests, or a
    // program option); closes the previous one.  Returns the error code.
    static std::uint32_t set_current_user_path(const std::string &path);

    // Why the process-wide registry could not be opened: the path tried and
    // the reason; empty when it is open.  Opens it first, as current_user().
    struct OpenFailure {
        std::string path;
        std::string reason;
    };
    static std::optional<OpenFailure> current_user_failure();

    virtual ~Registry();
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    // RegCreateKeyEx: creates the key and any missing parents; 0 when it
    // exists afterwards.
    virtual std::uint32_t create_key(std::string_view path) = 0;
    // RegOpenKeyEx: 0 when the key exists, 2 when it does not.
    virtual std::uint32_t open_key(std::string_view path) = 0;

    // RegSetValueEx; the key is created when missing.
    virtual std::uint32_t set_string(std::string_view path, std::string_view name,
                                     std::string_view value) = 0;
    virtual std::uint32_t set_dword(std::string_view path, std::string_view name,
                                    std::uint32_t value) = 0;
    // RegQueryValueEx: 2 when the key or value is missing; 13 (invalid data)
    // when the value has the other type.
    virtual std::uint32_t query_string(std::string_view path, std::string_view name,
                                       std::string *value) = 0;
    virtual std::uint32_t query_dword(std::string_view path, std::string_view name,
                                      std::uint32_t *value) = 0;
    virtual std::uint32_t delete_value(std::string_view path, std::string_view name) = 0;
    // Every value of a key, in name order.
    virtual std::uint32_t enum_values(std::string_view path, std::vector<RegValue> *values) = 0;

    // Names of the direct subkeys, in name order (case-insensitive).
    virtual std::uint32_t enum_subkeys(std::string_view path, std::vector<std::string> *names) = 0;
    // RegDeleteKey: 5 (access denied) while the key has subkeys, as on
    // Windows; 2 when it does not exist.
    virtual std::uint32_t delete_key(std::string_view path) = 0;

    // Runs `work` in one transaction: everything it wrote becomes durable
    // together when it returns 0, nothing of it when it returns an error.
    // Transactions may nest (inner ones join the outer one).
    virtual std::uint32_t transact(const std::function<std::uint32_t()> &work) = 0;

    // RegSaveKey: writes the key with its values and whole subtree to a
    // registry hive file (regf).  183 when the file already exists.
    virtual std::uint32_t save_key(std::string_view path, const std::string &file) = 0;
    // RegRestoreKey: replaces the values and subkeys of the key (created when
    // missing) by the content of the hive file.  A file that is not a hive or
    // is damaged fails with an error code and changes nothing.
    virtual std::uint32_t restore_key(std::string_view path, const std::string &file) = 0;

protected:
    Registry() = default;
};

} // namespace platform
