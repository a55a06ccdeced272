#include "LibraryLock.h"

#include "SharedLockFile.h"

#include <lunmark_wire/socket_protocol.h>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <new>

#include <pthread.h>

namespace lunmark {

namespace {

// Process-wide state of the lock.  Created on first use and never
// destroyed, so that the lock stays usable by threads still running while
// the process exits.
struct Shared {
    // The threads of this process take the lock in the order they asked
    // for it (a ticket lock).  A plain mutex lets a thread that releases
    // and at once re-takes it (the polling thread's back-to-back requests
    // to a slow driver) win every time, starving the window's thread.
    std::mutex mutex;
    std::condition_variable turn;
    std::uint64_t next_ticket = 0;
    std::uint64_t serving = 0;
    // Used only by the thread whose turn it is; `file` is replaced under
    // `mutex`, so that a child forked meanwhile sees the old or the new one.
    std::unique_ptr<SharedLockFile> file;
    bool file_held = false;
    std::string last_report;
};

Shared *g_shared = nullptr;
thread_local unsigned t_depth = 0;

// fork() copies the queue as it is, but only the forking thread goes on in
// the child.  The queue's mutex is held across the fork so that the copy is
// consistent; the child then starts the queue afresh, keeping only the
// forking thread's place when that thread holds the lock.
void before_fork() { g_shared->mutex.lock(); }
void after_fork_in_parent() { g_shared->mutex.unlock(); }
void after_fork_in_child() {
    Shared &s = *g_shared;
    // Threads of the parent may have waited on it; they do not exist here.
    new (&s.turn) std::condition_variable;
    s.serving = 0;
    s.next_ticket = t_depth > 0 ? 1 : 0;
    // The system-wide mutex belongs to the parent's thread.
    s.file_held = false;
    s.mutex.unlock();
}

Shared &shared() {
    static Shared *s = [] {
        g_shared = new Shared;
        pthread_atfork(before_fork, after_fork_in_parent, after_fork_in_child);
        return g_shared;
    }();
    return *s;
}

void take_turn(Shared &s) {
    std::unique_lock<std::mutex> guard(s.mutex);
    const std::uint64_t ticket = s.next_ticket++;
    s.turn.wait(guard, [&] { return s.serving == ticket; });
}

void pass_turn(Shared &s) {
    {
        std::lock_guard<std::mutex> guard(s.mutex);
        ++s.serving;
    }
    s.turn.notify_all();
}

// Takes the system-wide mutex; called by the thread whose turn it is.  The
// adapter directory is read from the environment (a few hundred
// nanoseconds) only when there is no lock file yet or `look_up` asks for it.
void take_file(Shared &s, bool look_up) {
    try {
        if (!s.file || look_up) {
            std::string dir = lunmark_wire::adapter_dir();
            if (!s.file || s.file->directory() != dir) {
                if (s.file_held) {
                    s.file_held = false;
                    s.file->unlock();
                }
                std::unique_ptr<SharedLockFile> file;
                {
                    std::lock_guard<std::mutex> guard(s.mutex);
                    s.file.swap(file);
                }
                file = std::make_unique<SharedLockFile>(std::move(dir));
                std::lock_guard<std::mutex> guard(s.mutex);
                s.file.swap(file);
            }
        }
        if (!s.file_held) {
            s.file->lock();
            s.file_held = true;
        }
    } catch (const std::exception &e) {
        if (s.last_report != e.what()) {
            s.last_report = e.what();
            std::fprintf(stderr, "lunmark: the library lock cannot be had: %s; requests fail\n",
                         e.what());
        }
        throw;
    }
}

void acquire(bool look_up) {
    Shared &s = shared();
    if (t_depth == 0) {
        take_turn(s);
        try {
            take_file(s, look_up);
        } catch (...) {
            pass_turn(s);
            throw;
        }
    } else if (!s.file_held || look_up) {
        take_file(s, look_up); // held only for this process's threads until now
    }
    ++t_depth;
}

} // namespace

LibraryLock::LibraryLock() { acquire(false); }

LibraryLock::LibraryLock(LookUpAdapters) { acquire(true); }

LibraryLock::LibraryLock(ThreadsOnly) {
    if (t_depth++ == 0)
        take_turn(shared());
}

LibraryLock::~LibraryLock() {
    if (--t_depth > 0)
        return;
    Shared &s = shared();
    if (s.file_held) {
        s.file_held = false;
        s.file->unlock();
    }
    pass_turn(s);
}

unsigned LibraryLock::depth() { return t_depth; }

unsigned LibraryLock::waiting() {
    Shared &s = shared();
    std::lock_guard<std::mutex> guard(s.mutex);
    const std::uint64_t queued = s.next_ticket - s.serving;
    return queued > 0 ? static_cast<unsigned>(queued - 1) : 0;
}

} // namespace lunmark
