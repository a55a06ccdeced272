// CNotificationPolicy: which link events become desktop notifications, and
// when.  Only a connection made or lost and the adapter removed or found
// are told; nothing during the first seconds after start (the window shows
// the state then), nothing for a connection the user just asked for in the
// window (they see it happen), and no storm when a link flaps: the first
// change is told at once, later ones within kCollapse are held and only the
// state they end in is told when the time is up, and only when it differs
// from what was told last.  No Qt: the window sends what this lets through.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "LinkEvents.h"

namespace kestrow {

class CNotificationPolicy {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kStartQuiet{10};
    static constexpr std::chrono::seconds kCollapse{5};
    // How long a connection the user asked for stays "expected".
    static constexpr std::chrono::seconds kUserConnectWindow{30};

    explicit CNotificationPolicy(Clock::time_point start);

    void SetEnabled(bool enabled) { m_bEnabled = enabled; }
    bool Enabled() const { return m_bEnabled; }
    // The user asked the window to connect to `ssid`: the loss of the old
    // connection and the new connection that follow are not told.
    void ExpectUserConnect(const std::string &ssid, Clock::time_point now);

    // Takes the events of one reading (possibly none) and returns those to
    // tell now, including held ones whose time is up.  Call it on every
    // reading so that held events go out.
    std::vector<CLinkEvent> Take(const std::vector<CLinkEvent> &events, Clock::time_point now);

private:
    // One stream of changes: the link, or the adapter.
    struct Stream {
        std::optional<CLinkEvent> told;     // the last state told (or taken as known)
        std::optional<CLinkEvent> held;     // the newest change not told yet
        std::optional<Clock::time_point> toldAt;
    };
    static bool SameState(const std::optional<CLinkEvent> &a, const CLinkEvent &b);
    void Offer(Stream &stream, const CLinkEvent &event, bool silent, Clock::time_point now,
               std::vector<CLinkEvent> &out);
    void Release(Stream &stream, Clock::time_point now, std::vector<CLinkEvent> &out);

    Clock::time_point m_Start;
    bool m_bEnabled = true;
    std::string m_strUserSsid;
    std::optional<Clock::time_point> m_UserUntil;
    Stream m_Link, m_Adapter;
};

} // namespace kestrow
