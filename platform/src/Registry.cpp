#include "platform/Registry.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "PosixError.h"
#include "SqliteRegistry.h"
#include "platform/Win32Error.h"

namespace platform {
namespace {

std::mutex g_current_mutex;
std::unique_ptr<Registry> g_current;

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

std::unique_ptr<Registry> Registry::open(const std::string &path, std::uint32_t *error)
{
    std::uint32_t ignored = 0;
    if (error == nullptr)
        error = &ignored;
    if (path.empty()) {
        *error = kErrorInvalidParameter;
        return nullptr;
    }
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        if (std::uint32_t rc = make_dirs(path.substr(0, slash)); rc != kErrorSuccess) {
            *error = rc;
            return nullptr;
        }
    }
    return SqliteRegistry::open_database(path, error);
}

Registry *Registry::current_user()
{
    std::lock_guard lock(g_current_mutex);
    if (!g_current) {
        std::uint32_t error = 0;
        g_current = open(default_path(), &error);
    }
    return g_current.get();
}

std::uint32_t Registry::set_current_user_path(const std::string &path)
{
    std::uint32_t error = 0;
    auto reg = open(path, &error);
    std::lock_guard lock(g_current_mutex);
    g_current = std::move(reg);
    return g_current ? kErrorSuccess : error;
}

} // namespace platform
