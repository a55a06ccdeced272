#include "KestrowSession.h"

#include "KestrowApp.h"
#include "Poll.h"
#include "ProfileMngr.h"
#include "StationMngr.h"

namespace kestrow {

CKestrowSession::CKestrowSession(CKestrowApp &app, Kind kind) : m_App(app), m_Kind(kind)
{
    if (m_Kind == Kind::Window)
        m_App.StartupAsync([this](bool pollRunning) { m_bPollRunning.store(pollRunning); });
    else if (!m_App.HasMainLock())
        (void)m_App.CreateMainLock();  // the operations take it
}

CKestrowSession::~CKestrowSession()
{
    if (m_Kind == Kind::Window) {
        m_App.SetWakeCallback(nullptr);
        m_App.Shutdown();
        return;
    }
    m_App.SetStationMngr(nullptr);
    m_App.SetProfileMngr(nullptr);
    m_App.DisconnectDriver();
}

} // namespace kestrow
