// How the polling thread wakes the user-interface thread: a queued call into
// the Qt event loop that runs the application's PumpRefresh, never more than
// one queued at a time however many ticks come while the loop is busy.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>

#include <atomic>

#include "KestrowApp.h"

namespace kestrow {

inline void InstallRefreshWake(CKestrowApp &app)
{
    static std::atomic<bool> queued{false};
    app.SetWakeCallback([] {
        if (!queued.exchange(true)) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), [] {
                queued.store(false);
                theApp().PumpRefresh();
            }, Qt::QueuedConnection);
        }
    });
}

} // namespace kestrow
