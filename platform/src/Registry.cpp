#include "platform/Registry.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "PosixError.h"
#include "SqliteRegistry.h"
#include "platform/Win32Error.h"

namespace platform {
namespace {

std::mutex g_current_mutex;
std::unique_ptr<Registry> g_current;            // guarded by g_current_mutex
std::optional<Registry::OpenFailure> g_failure;  // guarded by g_current_mutex

// Opens the process-wide registry at `path` in place of the current one and
// records why when that fails.  The caller holds g_current_mutex.
std::uint32_t open_current(const std::string &path)
{
    std::uint32_t error = 0;
    std::string reason;
    g_current.reset();
    g_current = Registry::open(path, &error, &reason);
    if (g_current)
        g_failure.reset();
    else
        g_failure = Registry::OpenFailure{path, reason};
    return g_current ? kErrorSuccess : error;
}

std::string home_dir()
{
    if (const char *home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        return home;
    struct passwd pw {};
    struct passwd *result = nullptr;
    std::string buf(16384, '\0');
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr)
        return result->pw_dir;
    return "/";
}

// Creates the folders of `dir` that are missing (mode 0700).
std::uint32_t make_dirs(const std::string &dir)
{
    if (dir.empty())
        return kErrorSuccess;
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? kErrorSuccess : kErrorPathNotFound;
    const auto slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0)
        if (std::uint32_t rc = make_dirs(dir.substr(0, slash)); rc != kErrorSuccess)
            return rc;
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return errno == ENOENT ? kErrorPathNotFound : win32_from_errno(errno);
    return kErrorSuccess;
}

} // namespace

Registry::~Registry() = default;

std::string Registry::default_path()
{
    if (const char *explicit_path = std::getenv("KESTROW_REGISTRY");
        explicit_path != nullptr && explicit_path[0] != '\0')
        return explicit_path;
    std::string config;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
        config = xdg;
    else
        config = home_dir() + "/.config";
    return config + "/kestrow/registry.sqlite3";
}

std::unique_ptr<Registry> Registry::open(const std::string &path, std::uint32_t *error,
                                         std::string *reason)
{
    std::uint32_t ignored = 0;
    std::string ignored_reason;
    if (error == nullptr)
        error = &ignored;
    if (reason == nullptr)
        reason = &ignored_reason;
    reason->clear();
    if (path.empty()) {
        *error = kErrorInvalidParameter;
        *reason = "no file name";
        return nullptr;
    }
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        errno = 0;
        if (std::uint32_t rc = make_dirs(path.substr(0, slash)); rc != kErrorSuccess) {
            *error = rc;
            *reason = std::string("its folder cannot be made: ") +
                      (errno != 0 ? std::strerror(errno) : "a file of that name is in the way");
            return nullptr;
        }
    }
    // SQLite's own words for these are vague ("unable to open database
    // file"), so they are checked first.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            *error = kErrorAccessDenied;
            *reason = "it is a folder, not a file";
            return nullptr;
        }
        if (::access(path.c_str(), R_OK | W_OK) != 0) {
            *error = win32_from_errno(errno);
            *reason = std::string("it cannot be read and written: ") + std::strerror(errno);
            return nullptr;
        }
    }
    return SqliteRegistry::open_database(path, error, reason);
}

Registry *Registry::current_user()
{
    std::lock_guard lock(g_current_mutex);
    if (!g_current && !g_failure)
        open_current(default_path());
    return g_current.get();
}

std::uint32_t Registry::set_current_user_path(const std::string &path)
{
    std::lock_guard lock(g_current_mutex);
    return open_current(path);
}

std::optional<Registry::OpenFailure> Registry::current_user_failure()
{
    std::lock_guard lock(g_current_mutex);
    if (!g_current && !g_failure)
        open_current(default_path());
    return g_failure;
}

} // namespace platform
