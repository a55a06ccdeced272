#include "SharedLockFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lunmark {

// The whole file.  The mutex size is part of the header, so that a process
// of another ABI refuses the file instead of misreading the mutex.
struct SharedLockFile::Layout {
    char magic[8];
    std::uint32_t version;
    std::uint32_t mutex_size;
    pthread_mutex_t mutex;
};

namespace {

constexpr char kMagic[8] = {'L', 'M', 'K', 'L', 'O', 'C', 'K', '\n'};
constexpr std::uint32_t kVersion = 1;

[[noreturn]] void fail_errno(int err, const std::string &what) {
    throw std::system_error(err, std::generic_category(), what);
}

// A descriptor closed when the scope ends.
struct Descriptor {
    int fd = -1;
    explicit Descriptor(int f) : fd(f) {}
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
};

// Creates `dir`, and its parent when that is missing too (the default
// adapter directories are <runtime dir>/lunmark/adapters and
// /tmp/lunmark-<uid>/adapters), private to this user as adapter-sim makes
// them.  Failures show when the directory is opened.
void make_directory(const std::string &dir) {
    if (::mkdir(dir.c_str(), 0700) == 0 || errno != ENOENT)
        return;
    const std::size_t slash = dir.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return;
    if (::mkdir(dir.substr(0, slash).c_str(), 0700) == 0 || errno == EEXIST)
        (void)::mkdir(dir.c_str(), 0700);
}

// Users that may use the adapters may use the lock: read and write for the
// group and for others when they may search the directory.
mode_t file_mode(const struct stat &dir) {
    mode_t mode = S_IRUSR | S_IWUSR;
    if (dir.st_mode & S_IXGRP)
        mode |= S_IRGRP | S_IWGRP;
    if (dir.st_mode & S_IXOTH)
        mode |= S_IROTH | S_IWOTH;
    return mode;
}

// Whether the owner of the file may have put it there.  In a directory
// with the sticky bit only the owner of an entry can replace it, so there
// the file must belong to this user, to root or to the directory's owner;
// elsewhere anybody who could create it could also replace it, so its
// owner tells nothing.
bool trusted_owner(const struct stat &file, const struct stat &dir) {
    return !(dir.st_mode & S_ISVTX) || file.st_uid == ::geteuid() || file.st_uid == 0 ||
           file.st_uid == dir.st_uid;
}

} // namespace

SharedLockFile::SharedLockFile(std::string dir) : dir_(std::move(dir)) {
    make_directory(dir_);
    const Descriptor dir_fd(::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat dir_st {};
    if (dir_fd.fd < 0 || ::fstat(dir_fd.fd, &dir_st) != 0)
        fail_errno(errno, "cannot open the adapter directory " + dir_);
    const std::string file = path();

    // Another process may move its new file into place between our failed
    // open and our move; then the second open finds it.
    for (int attempt = 0; attempt < 3 && layout_ == nullptr; ++attempt) {
        const Descriptor fd(::openat(dir_fd.fd, kFileName,
                                     O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (fd.fd >= 0) {
            struct stat st {};
            if (::fstat(fd.fd, &st) != 0)
                fail_errno(errno, "cannot inspect " + file);
            if (!S_ISREG(st.st_mode) || st.st_nlink != 1)
                throw std::runtime_error(file + " is not a regular file with a single name");
            if (!trusted_owner(st, dir_st))
                throw std::runtime_error(file + " belongs to user " + std::to_string(st.st_uid) +
                                         ", who may not have placed it in " + dir_);
            if (st.st_size != static_cast<off_t>(sizeof(Layout)))
                throw std::runtime_error(file + " is not a lock file of this library (its size)");
            void *p = ::mmap(nullptr, sizeof(Layout), PROT_READ | PROT_WRITE, MAP_SHARED, fd.fd, 0);
            if (p == MAP_FAILED)
                fail_errno(errno, "cannot map " + file);
            auto *l = static_cast<Layout *>(p);
            if (std::memcmp(l->magic, kMagic, sizeof kMagic) != 0 || l->version != kVersion ||
                l->mutex_size != sizeof(pthread_mutex_t)) {
                ::munmap(p, sizeof(Layout));
                throw std::runtime_error(file + " is not a lock file of this library (its header)");
            }
            layout_ = l;
            break;
        }
        if (errno == ELOOP)
            throw std::runtime_error(file + " is a symbolic link");
        if (errno != ENOENT)
            fail_errno(errno, "cannot open " + file);

        std::string temp = dir_ + "/." + kFileName + ".XXXXXX";
        const Descriptor tfd(::mkostemp(temp.data(), O_CLOEXEC));
        if (tfd.fd < 0)
            fail_errno(errno, "cannot create " + file);
        void *p = MAP_FAILED;
        if (::fchown(tfd.fd, static_cast<uid_t>(-1), dir_st.st_gid) != 0) {
            // Not a member of the directory's group: the file keeps ours.
        }
        if (::fchmod(tfd.fd, file_mode(dir_st)) == 0 &&
            ::ftruncate(tfd.fd, static_cast<off_t>(sizeof(Layout))) == 0)
            p = ::mmap(nullptr, sizeof(Layout), PROT_READ | PROT_WRITE, MAP_SHARED, tfd.fd, 0);
        if (p == MAP_FAILED) {
            const int err = errno;
            ::unlink(temp.c_str());
            fail_errno(err, "cannot set up " + file);
        }
        auto *l = static_cast<Layout *>(p);
        pthread_mutexattr_t attr;
        pthread_mutexattr_init(&attr);
        pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
        pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
        const int rc = pthread_mutex_init(&l->mutex, &attr);
        pthread_mutexattr_destroy(&attr);
        std::memcpy(l->magic, kMagic, sizeof kMagic);
        l->version = kVersion;
        l->mutex_size = sizeof(pthread_mutex_t);
        // Moved into place without replacing a file another process has put
        // there.  A rename, not link() and unlink(): between those two the
        // file would have two names, and a process opening it then would
        // refuse it as a hard link.  link() remains for file systems that
        // cannot rename without replacing.
        int placed = -1;
        bool renamed = false;
        int err = rc;
        if (rc == 0) {
            placed = ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE);
            renamed = placed == 0;
            if (placed != 0 && (errno == EINVAL || errno == ENOSYS))
                placed = ::link(temp.c_str(), file.c_str());
            err = errno;
        }
        if (!renamed)
            ::unlink(temp.c_str());
        if (placed == 0) {
            layout_ = l;
            break;
        }
        ::munmap(p, sizeof(Layout));
        if (err != EEXIST)
            fail_errno(err, "cannot create " + file);
    }
    if (layout_ == nullptr)
        throw std::runtime_error(file + " keeps changing");
}

SharedLockFile::~SharedLockFile() { ::munmap(layout_, sizeof(Layout)); }

void SharedLockFile::lock() {
    int rc = pthread_mutex_lock(&layout_->mutex);
    if (rc == EOWNERDEAD) {
        // The holder died holding the lock: it is ours now.
        rc = pthread_mutex_consistent(&layout_->mutex);
        if (rc != 0)
            pthread_mutex_unlock(&layout_->mutex);
    }
    if (rc != 0)
        fail_errno(rc, "cannot take the lock in " + path());
}

void SharedLockFile::unlock() { pthread_mutex_unlock(&layout_->mutex); }

} // namespace lunmark
