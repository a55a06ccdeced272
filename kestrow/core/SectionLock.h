// CSectionLock: the only way to hold one of the application's two locks.
// The lock is taken in the constructor and left in the destructor (or by
// Unlock), so no path out of a scope can leave it held.
//
//   CSectionLock lock(app, Section::Main);            // try once
//   CSectionLock lock(app, Section::Main, 2000ms);    // retry until then
//   if (!lock) return Busy;
//
// The main lock is a try-lock: the one-argument form fails at once while
// another thread holds it.  The bounded form tries again every millisecond
// until it gets the lock or the time is up; it is for threads that may
// wait (start-up, shutdown, a worker acting for the user), never for the
// user-interface thread's event handlers.
#pragma once

#include <chrono>

#include "KestrowApp.h"

namespace kestrow {

class CSectionLock {
public:
    CSectionLock(CKestrowApp &app, Section which);
    CSectionLock(CKestrowApp &app, Section which, std::chrono::milliseconds maxWait);
    ~CSectionLock() { Unlock(); }
    CSectionLock(const CSectionLock &) = delete;
    CSectionLock &operator=(const CSectionLock &) = delete;

    bool Owns() const { return m_bOwns; }
    explicit operator bool() const { return m_bOwns; }
    // Leaves the lock early; nothing when not held.
    void Unlock();

private:
    CKestrowApp &m_App;
    Section m_Which;
    bool m_bOwns = false;
};

} // namespace kestrow
