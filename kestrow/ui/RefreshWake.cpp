#include "RefreshWake.h"

#include <QMetaObject>

namespace kestrow {

CRefreshWake::CRefreshWake(CKestrowApp &app) : m_App(app)
{
    m_App.SetWakeCallback([this] {
        // The call is queued by name, so that Qt makes and frees the event
        // that carries it: nothing made on the polling thread is read on
        // this one except through Qt's event queue.
        if (!m_bQueued.exchange(true))
            QMetaObject::invokeMethod(this, "Pump", Qt::QueuedConnection);
    });
}

CRefreshWake::~CRefreshWake()
{
    // No callback runs any more once this returns; a call still queued is
    // dropped with this object.
    m_App.SetWakeCallback(nullptr);
}

void CRefreshWake::Pump()
{
    m_bQueued.store(false);
    m_App.PumpRefresh();
}

} // namespace kestrow
