#include "LibraryLock.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lunmark {

namespace {

// Process-wide state of the lock.  Created on first use and never
// destroyed, so that the lock stays usable by threads still running while
// the process exits.
struct Shared {
    // The in-process part is a ticket lock: threads get the lock in the
    // order they asked for it.  A plain mutex lets a thread that releases
    // and at once re-takes it (the polling thread's back-to-back requests
    // to a slow driver) win every time, starving the window's thread.
    std::mutex mutex;
    std::condition_variable turn;
    std::uint64_t next_ticket = 0;
    std::uint64_t serving = 0;
    // The lock file; used only by the thread that holds the lock.
    int fd = -1;
    pid_t owner_pid = 0; // process that opened fd (a forked child reopens)
    bool warned = false;
};

Shared &shared() {
    static Shared *s = new Shared;
    return *s;
}

thread_local unsigned t_depth = 0;

void warn_once(Shared &s, const std::string &what, int err) {
    if (s.warned)
        return;
    s.warned = true;
    std::fprintf(stderr,
                 "lunmark: %s: %s; the library lock does not reach other processes\n",
                 what.c_str(), std::strerror(err));
}

// Creates `dir` with mode 0700 when missing and checks that it is a
// directory of ours (it may lie in a shared /tmp).
bool ensure_private_dir(const std::string &dir) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        errno = EPERM;
        return false;
    }
    return true;
}

std::string lock_dir() {
    if (const char *x = std::getenv("XDG_RUNTIME_DIR"); x && *x)
        return std::string(x) + "/lunmark";
    return "/tmp/lunmark-" + std::to_string(::getuid());
}

void open_lock_file(Shared &s) {
    if (s.fd >= 0 && s.owner_pid == ::getpid())
        return;
    if (s.fd >= 0) {
        // Inherited over fork: the descriptor shares its flock with the
        // parent, so this process needs a lock file description of its own.
        ::close(s.fd);
        s.fd = -1;
    }
    const std::string dir = lock_dir();
    if (!ensure_private_dir(dir)) {
        warn_once(s, "cannot use the lock directory " + dir, errno);
        return;
    }
    const std::string path = dir + "/OIFC_MAIN.lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        warn_once(s, "cannot open the lock file " + path, errno);
        return;
    }
    s.fd = fd;
    s.owner_pid = ::getpid();
}

void acquire_file(Shared &s) {
    open_lock_file(s);
    if (s.fd < 0)
        return;
    while (::flock(s.fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            warn_once(s, "cannot lock " + LibraryLock::lock_file_path(), errno);
            return;
        }
    }
}

void release_file(Shared &s) {
    if (s.fd < 0)
        return;
    if (::flock(s.fd, LOCK_UN) != 0) {
        // The lock cannot be kept in an unknown state: dropping the
        // descriptor releases it for certain.
        ::close(s.fd);
        s.fd = -1;
    }
}

} // namespace

LibraryLock::LibraryLock() {
    if (t_depth++ > 0)
        return; // this thread holds it already
    Shared &s = shared();
    {
        std::unique_lock<std::mutex> guard(s.mutex);
        const std::uint64_t ticket = s.next_ticket++;
        s.turn.wait(guard, [&] { return s.serving == ticket; });
    }
    acquire_file(s);
}

LibraryLock::~LibraryLock() {
    if (--t_depth > 0)
        return;
    Shared &s = shared();
    release_file(s);
    {
        std::lock_guard<std::mutex> guard(s.mutex);
        ++s.serving;
    }
    s.turn.notify_all();
}

unsigned LibraryLock::depth() { return t_depth; }

std::string LibraryLock::lock_file_path() { return lock_dir() + "/OIFC_MAIN.lock"; }

} // namespace lunmark
