// CLinkWatch: reads the link once a call (whether the adapter answers, the
// association, its network and signal, whether a scan is still coming in)
// and turns successive readings into link events.  `kestrowctl watch` runs
// it once a second.  It only reads: the adapter's settings and the profile
// store stay as they are, so it may run beside the window.
//
// Device I/O: call it from a thread that may wait on the adapter, with the
// station list made (the caller owns it, or holds the main lock).
#pragma once

#include <vector>

#include "LinkEvents.h"

namespace kestrow {

class CKestrowApp;

class CLinkWatch {
public:
    explicit CLinkWatch(CKestrowApp &app) : m_App(app) {}

    CLinkState Read();
    // The first reading: the starting point of the events, returned so that
    // it can be shown.
    CLinkState Start()
    {
        CLinkState state = Read();
        (void)m_Events.Update(state);
        return state;
    }
    // Read, then the events since the previous call (none on the first).
    std::vector<CLinkEvent> Tick() { return m_Events.Update(Read()); }

private:
    CKestrowApp &m_App;
    CLinkEvents m_Events;
};

} // namespace kestrow
