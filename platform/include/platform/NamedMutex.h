// A named mutex as the program uses it: a gate that can be tested with a
// time-out of 0 and released, whose name reaches across processes.
//
// Within a process every NamedMutex of one name shares one lock; across
// processes the name maps to flock() on a file in the per-user runtime
// directory ($XDG_RUNTIME_DIR/kestrow, else /tmp/kestrow-<uid>), so a
// holder that dies releases it and never blocks anyone.  Like a Windows
// mutex it is re-entrant for the thread that owns it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class WaitResult { Signaled, Timeout, Abandoned, Failed };

class NamedMutex {
public:
    // CreateMutex(not owned, name).  valid() is false when the name cannot be
    // set up (the runtime directory cannot be created or locked).
    explicit NamedMutex(std::string name);
    ~NamedMutex();
    NamedMutex(const NamedMutex &) = delete;
    NamedMutex &operator=(const NamedMutex &) = delete;

    bool valid() const;
    const std::string &name() const;

    // WaitForSingleObject: `timeout_ms` 0 is a test; 0xFFFFFFFF waits forever.
    WaitResult wait(std::uint32_t timeout_ms);
    // ReleaseMutex: false when the calling thread does not own it.
    bool release();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
