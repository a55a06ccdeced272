// CKestrowSession: one run of the program's core, from start-up to shutdown,
// held by main() for the window and by kestrowctl for one command.  Its
// destructor always shuts down in the same order, whatever path leaves the
// scope: the polling thread, the station list (which records the connected
// station), the profile store (which saves every profile), the adapter.
//
// Window: start-up connects to the adapter, stops the system's wireless
// service, starts the polling thread and creates the profile store and the
// station list, on the refresh worker while the window builds itself (see
// CKestrowApp::StartupAsync).  Command: nothing is started; the command creates what it
// needs through the application object.
#pragma once

#include <atomic>

namespace kestrow {

class CKestrowApp;

class CKestrowSession {
public:
    enum class Kind { Window, Command };

    CKestrowSession(CKestrowApp &app, Kind kind);
    ~CKestrowSession();
    CKestrowSession(const CKestrowSession &) = delete;
    CKestrowSession &operator=(const CKestrowSession &) = delete;

    CKestrowApp &App() const { return m_App; }
    // Window: whether the polling thread runs (false until start-up is over).
    bool PollRunning() const { return m_bPollRunning.load(); }

private:
    CKestrowApp &m_App;
    Kind m_Kind;
    std::atomic<bool> m_bPollRunning{false};
};

} // namespace kestrow
