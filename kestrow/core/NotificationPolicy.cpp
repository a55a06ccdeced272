#include "NotificationPolicy.h"

namespace kestrow {

using Kind = CLinkEvent::Kind;

CNotificationPolicy::CNotificationPolicy(Clock::time_point start) : m_Start(start) {}

void CNotificationPolicy::ExpectUserConnect(const std::string &ssid, Clock::time_point now)
{
    m_strUserSsid = ssid;
    m_UserUntil = now + kUserConnectWindow;
}

bool CNotificationPolicy::SameState(const std::optional<CLinkEvent> &a, const CLinkEvent &b)
{
    // A loss is one state whatever was lost; a connection is its network.
    return a && a->kind == b.kind && (b.kind != Kind::Connected || a->ssid == b.ssid);
}

void CNotificationPolicy::Offer(Stream &stream, const CLinkEvent &event, bool silent, Clock::time_point now,
                                std::vector<CLinkEvent> &out)
{
    if (silent) {
        // Known without being told: the user sees it, or start-up shows it.
        stream.told = event;
        stream.held.reset();
        return;
    }
    if (stream.toldAt && now - *stream.toldAt < kCollapse) {
        stream.held = event;  // the newest change wins
        return;
    }
    stream.held.reset();
    if (SameState(stream.told, event))
        return;
    stream.told = event;
    stream.toldAt = now;
    if (m_bEnabled)
        out.push_back(event);
}

void CNotificationPolicy::Release(Stream &stream, Clock::time_point now, std::vector<CLinkEvent> &out)
{
    if (!stream.held || (stream.toldAt && now - *stream.toldAt < kCollapse))
        return;
    const CLinkEvent event = *stream.held;
    stream.held.reset();
    if (SameState(stream.told, event))
        return;  // it flapped back to what the user was told
    stream.told = event;
    stream.toldAt = now;
    if (m_bEnabled)
        out.push_back(event);
}

std::vector<CLinkEvent> CNotificationPolicy::Take(const std::vector<CLinkEvent> &events, Clock::time_point now)
{
    std::vector<CLinkEvent> out;
    const bool quiet = now - m_Start < kStartQuiet;
    const bool userWindow = m_UserUntil && now < *m_UserUntil;
    for (const CLinkEvent &event : events) {
        switch (event.kind) {
        case Kind::Connected:
        case Kind::Lost: {
            const bool asked = userWindow && (event.kind == Kind::Lost || event.ssid == m_strUserSsid);
            if (asked && event.kind == Kind::Connected)
                m_UserUntil.reset();  // that was the connection asked for
            Offer(m_Link, event, quiet || asked, now, out);
            break;
        }
        case Kind::AdapterRemoved:
            // The link went with it: a connection made once the adapter is
            // back is news, whatever was told before.
            m_Link.told = CLinkEvent{Kind::Lost, {}, {}, {}};
            m_Link.held.reset();
            Offer(m_Adapter, event, quiet, now, out);
            break;
        case Kind::AdapterFound:
            Offer(m_Adapter, event, quiet, now, out);
            break;
        case Kind::ScanFinished:
        case Kind::SignalChanged:
            break;  // not worth a notification
        }
    }
    Release(m_Adapter, now, out);
    Release(m_Link, now, out);
    return out;
}

} // namespace kestrow
