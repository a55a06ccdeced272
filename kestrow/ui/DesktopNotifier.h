// CDesktopNotifier: tells link changes as desktop notifications through the
// freedesktop Notifications service on the session bus.  The core's
// notification policy decides what is told and when; this class only words
// it and sends it.  The call is asynchronous (the GUI thread never waits on
// the bus), and without a session bus or a notification service it does
// nothing.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <vector>

#include "LinkEvents.h"
#include "NotificationPolicy.h"

namespace kestrow {

class CDesktopNotifier : public QObject {
    Q_OBJECT
public:
    static constexpr const char *kService = "org.freedesktop.Notifications";
    static constexpr const char *kPath = "/org/freedesktop/Notifications";

    // `start`: when the program started (the first seconds stay quiet).
    explicit CDesktopNotifier(CNotificationPolicy::Clock::time_point start, QObject *parent = nullptr);

    CNotificationPolicy &Policy() { return m_Policy; }
    // Passes the events of one reading through the policy and sends what
    // it lets through.  Call it on every reading, with or without events.
    void Handle(const std::vector<CLinkEvent> &events, CNotificationPolicy::Clock::time_point now);

    // The summary and body of an event's notification.  Network names are
    // bytes: shown as UTF-8 when valid, else Latin-1; the body is escaped,
    // since servers may read it as markup.
    static QString Summary(const CLinkEvent &event);
    static QString Body(const CLinkEvent &event);

    int Sent() const { return m_nSent; }

private:
    void Send(const CLinkEvent &event);

    CNotificationPolicy m_Policy;
    int m_nSent = 0;
};

} // namespace kestrow
