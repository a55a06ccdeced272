// How the polling thread wakes the user-interface thread: a queued call into
// the Qt event loop that runs the application's PumpRefresh, never more than
// one queued at a time however many ticks come while the loop is busy.
#pragma once

#include <QObject>

#include <atomic>

#include "KestrowApp.h"

namespace kestrow {

class CRefreshWake : public QObject {
    Q_OBJECT

public:
    // Made on the user-interface thread; installs itself as `app`'s wake
    // callback until it is destroyed.
    explicit CRefreshWake(CKestrowApp &app);
    ~CRefreshWake() override;
    CRefreshWake(const CRefreshWake &) = delete;
    CRefreshWake &operator=(const CRefreshWake &) = delete;

private slots:
    void Pump();

private:
    CKestrowApp &m_App;
    std::atomic<bool> m_bQueued{false};
};

} // namespace kestrow
