// CTrayIcons: the notification-area icon that shows the link: not
// connected, connected at the site survey's four signal levels, or no
// adapter.  The pictures are drawn by the icon program (kestrow-icongen)
// and built into the resources; each is loaded once, when first shown.
#pragma once

#include <QIcon>
#include <QString>

#include <array>
#include <optional>

#include "AdapterState.h"

namespace kestrow {

class CTrayIcons {
public:
    enum class State { NotConnected, Poor, Fair, Good, Excellent, NoAdapter, Count };

    // The state a link shows: no adapter beats everything, then the
    // connection with its signal (dBm; none known: the best level, since
    // the link is up).
    static State StateOf(AdapterState adapter, bool connected, std::optional<int> signalDbm);
    // "tray-excellent" and so on: the resource names' stem.
    static QString Stem(State state);

    const QIcon &Icon(State state);
    // The icon of the built-in pictures named `stem` ("program", "tray",
    // "tray-good" ...) in the sizes a title bar, task switcher and
    // notification area use.
    static QIcon FromResources(const QString &stem);

private:
    std::array<QIcon, static_cast<std::size_t>(State::Count)> m_Icons;
};

} // namespace kestrow
