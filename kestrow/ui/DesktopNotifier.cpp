#include "DesktopNotifier.h"

#include <QDBusMessage>
#include <QVariantMap>

#include "StationModel.h"

namespace kestrow {

namespace {

// A notification stays this long unless the server has its own idea.
constexpr int kExpireMs = 6000;

} // namespace

CDesktopNotifier::CDesktopNotifier(CNotificationPolicy::Clock::time_point start, QObject *parent)
    : QObject(parent), m_Policy(start)
{
}

void CDesktopNotifier::Handle(const std::vector<CLinkEvent> &events, CNotificationPolicy::Clock::time_point now)
{
    for (const CLinkEvent &event : m_Policy.Take(events, now))
        Send(event);
}

QString CDesktopNotifier::Summary(const CLinkEvent &event)
{
    using Kind = CLinkEvent::Kind;
    switch (event.kind) {
    case Kind::Connected: return QStringLiteral("Connected to %1").arg(CStationModel::NetNameText(event.ssid));
    case Kind::Lost: return QStringLiteral("Connection to %1 lost").arg(CStationModel::NetNameText(event.ssid));
    case Kind::AdapterRemoved: return QStringLiteral("Adapter removed");
    case Kind::AdapterFound: return QStringLiteral("Adapter found");
    case Kind::ScanFinished:
    case Kind::SignalChanged: break;
    }
    return {};
}

QString CDesktopNotifier::Body(const CLinkEvent &event)
{
    if (event.kind != CLinkEvent::Kind::Connected || !event.signalDbm || !event.level)
        return {};
    return QStringLiteral("Signal: %1 (%2 dBm)")
        .arg(QLatin1String(CLinkEvent::LevelName(*event.level)))
        .arg(*event.signalDbm)
        .toHtmlEscaped();
}

void CDesktopNotifier::Send(const CLinkEvent &event)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                       QLatin1String(kService), QStringLiteral("Notify"));
    call << QStringLiteral("Kestrow") << 0u << QStringLiteral("kestrow") << Summary(event) << Body(event)
         << QStringList() << QVariantMap() << kExpireMs;
    // Asynchronous and unanswered: with no service the bus answers with an
    // error nobody waits for.  A service started on demand is started.
    if (bus.send(call))
        ++m_nSent;
}

} // namespace kestrow
