// The system-wide part of the library lock: a process-shared robust mutex in
// a small file mapped from the adapter directory, so that every process that
// reaches the same adapters shares it, whatever its user or runtime
// directory.
#pragma once

#include <string>

namespace lunmark {

class SharedLockFile {
public:
    // Name of the lock file inside the adapter directory.  The directory
    // scan lists sockets only, so the file is never taken for an adapter.
    static constexpr const char *kFileName = "OIFC_MAIN.lock";

    // Opens the lock file of adapter directory `dir`, creating the
    // directory (mode 0700, and its parent when that is missing too) and
    // the file when missing.  A new file is set up completely under a
    // temporary name and then moved into place, so no process ever sees a
    // half-made one.  Throws std::system_error, whose text names the file
    // and the reason, when the file cannot be used: it is not a regular
    // file of its own (a symbolic link, a hard link, a device), has another
    // size or header, belongs to a user who may not have placed it there,
    // or cannot be opened or created.
    explicit SharedLockFile(std::string dir);
    ~SharedLockFile();
    SharedLockFile(const SharedLockFile &) = delete;
    SharedLockFile &operator=(const SharedLockFile &) = delete;

    const std::string &directory() const { return dir_; }
    std::string path() const { return dir_ + "/" + kFileName; }

    // Takes the mutex, for the calling thread.  When its holder died while
    // holding it, the mutex is made consistent and taken; the driver
    // traffic that holder left unfinished is the driver's to sort out.
    // Throws std::system_error when the mutex is unusable.
    void lock();
    void unlock();

private:
    struct Layout;

    std::string dir_;
    Layout *layout_ = nullptr;
};

} // namespace lunmark
