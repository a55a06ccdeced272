#include "LinkEvents.h"

namespace kestrow {

const char *CLinkEvent::KindName(Kind kind)
{
    switch (kind) {
    case Kind::Connected: return "connected";
    case Kind::Lost: return "lost";
    case Kind::AdapterRemoved: return "adapter-removed";
    case Kind::AdapterFound: return "adapter-found";
    case Kind::ScanFinished: return "scan-finished";
    case Kind::SignalChanged: return "signal";
    }
    return "";
}

const char *CLinkEvent::LevelName(SignalLevel level)
{
    switch (level) {
    case SignalLevel::Excellent: return "excellent";
    case SignalLevel::Good: return "good";
    case SignalLevel::Fair: return "fair";
    case SignalLevel::Poor: return "poor";
    }
    return "";
}

std::vector<CLinkEvent> CLinkEvents::Update(const CLinkState &now)
{
    std::vector<CLinkEvent> events;
    if (!m_Last) {
        m_Last = now;
        return events;
    }
    const CLinkState &was = *m_Last;
    using Kind = CLinkEvent::Kind;
    const bool hadAdapter = HasAdapter(was.adapter);
    const bool hasAdapter = HasAdapter(now.adapter);
    if (hadAdapter && !hasAdapter) {
        // The link went with the adapter: that is the one thing to tell.
        events.push_back({Kind::AdapterRemoved, {}, {}, {}});
    } else if (!hadAdapter && hasAdapter) {
        events.push_back({Kind::AdapterFound, {}, {}, {}});
    }

    const bool wasUp = hadAdapter && was.connected;
    const bool isUp = hasAdapter && now.connected;
    const auto level = LevelOf(now.signalDbm);
    if (isUp && (!wasUp || was.ssid != now.ssid)) {
        events.push_back({Kind::Connected, now.ssid, now.signalDbm, level});
    } else if (wasUp && !isUp && hasAdapter) {
        events.push_back({Kind::Lost, was.ssid, {}, {}});
    } else if (isUp && level && was.signalDbm && level != LevelOf(was.signalDbm)) {
        // A change between two known levels; the first reading of the
        // signal after a connection is no change.
        events.push_back({Kind::SignalChanged, now.ssid, now.signalDbm, level});
    }

    if (was.scanActive && !now.scanActive && hasAdapter)
        events.push_back({Kind::ScanFinished, {}, {}, {}});
    m_Last = now;
    return events;
}

} // namespace kestrow
