// The library lock "OIFC_MAIN": serialises all driver traffic of every
// thread of every process that reaches the same adapter directory.
#pragma once

namespace lunmark {

// RAII guard of the library lock, re-entrant for the thread that holds it.
//
// Two parts: the threads of this process queue for it in the order they
// asked (a thread that releases and at once re-takes it gets in line behind
// those already waiting), and the thread whose turn it is takes the
// system-wide mutex in the lock file of the adapter directory
// (SharedLockFile).  Neither part makes a system call unless it has to wait.
// A process that forks while one of its threads holds the lock leaves the
// child a free lock, except when the forking thread itself held it: the
// child's thread then still holds its place, and takes the system-wide
// mutex again with its next full acquisition.
class LibraryLock {
public:
    // The whole lock, for exports that look adapters up: the lock file is
    // the one of the adapter directory the environment names now.  Other
    // acquisitions keep to the adapter directory last looked up (or read
    // on first use), so that a request costs no environment look-up.
    struct LookUpAdapters {};
    // Only the part between the threads of this process, for exports that
    // send nothing to a driver (closing, registrations, the trace timer's
    // start and stop): they keep working when the system-wide part cannot
    // be had.  A full acquisition inside one takes the system-wide part.
    struct ThreadsOnly {};

    // Takes the whole lock.  Throws std::runtime_error, whose text names
    // the lock file and the reason, when the system-wide part cannot be had
    // (the reason is also written to stderr, once per reason); nothing is
    // held by this guard then.
    LibraryLock();
    explicit LibraryLock(LookUpAdapters);
    explicit LibraryLock(ThreadsOnly);
    ~LibraryLock();
    LibraryLock(const LibraryLock &) = delete;
    LibraryLock &operator=(const LibraryLock &) = delete;

    // Nesting depth of the calling thread's holds (0 when it holds none).
    static unsigned depth();
    // Threads of this process waiting for the lock.
    static unsigned waiting();
};

} // namespace lunmark
