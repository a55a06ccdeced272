// The library lock "OIFC_MAIN": serialises all driver traffic of every
// thread of every process that loads the library.
#pragma once

#include <string>

namespace lunmark {

// RAII guard of the library lock.  The lock is re-entrant for the thread
// that holds it.  It is an in-process recursive mutex plus an exclusive
// flock on $XDG_RUNTIME_DIR/lunmark/OIFC_MAIN.lock (else
// /tmp/lunmark-<uid>/OIFC_MAIN.lock); the flock is taken on the outermost
// acquisition of a thread only and released when that one ends.  A holder
// that dies releases the flock with its process.  When the lock file cannot
// be opened the lock still serialises the threads of this process and a
// diagnostic is written to stderr once.
class LibraryLock {
public:
    LibraryLock();
    ~LibraryLock();
    LibraryLock(const LibraryLock &) = delete;
    LibraryLock &operator=(const LibraryLock &) = delete;

    // Nesting depth of the calling thread's holds (0 when it holds none).
    static unsigned depth();
    // Path of the lock file, from the environment as it is now.
    static std::string lock_file_path();
};

} // namespace lunmark
