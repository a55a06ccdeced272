#include "TrayIcons.h"

#include "SurveyTable.h"

namespace kestrow {

namespace {
// The larger sizes are installed in the icon theme for launchers; loading
// them here would only cost start-up time, since the window system is sent
// every size the window icon has.
constexpr int kSizes[] = {16, 22, 24, 32, 48, 64};
} // namespace

QIcon CTrayIcons::FromResources(const QString &stem)
{
    QIcon icon;
    for (int size : kSizes)
        icon.addFile(QStringLiteral(":/kestrow/icons/%1-%2.png").arg(stem).arg(size), QSize(size, size));
    return icon;
}

CTrayIcons::State CTrayIcons::StateOf(AdapterState adapter, bool connected, std::optional<int> signalDbm)
{
    if (adapter == AdapterState::NotFound || adapter == AdapterState::Removed)
        return State::NoAdapter;
    if (!connected)
        return State::NotConnected;
    if (!signalDbm)
        return State::Excellent;
    switch (CSurveyTable::LevelOf(*signalDbm)) {
    case SignalLevel::Excellent: return State::Excellent;
    case SignalLevel::Good: return State::Good;
    case SignalLevel::Fair: return State::Fair;
    case SignalLevel::Poor: return State::Poor;
    }
    return State::Excellent;
}

QString CTrayIcons::Stem(State state)
{
    switch (state) {
    case State::NotConnected: return QStringLiteral("tray-notconnected");
    case State::Poor: return QStringLiteral("tray-poor");
    case State::Fair: return QStringLiteral("tray-fair");
    case State::Good: return QStringLiteral("tray-good");
    case State::Excellent: return QStringLiteral("tray-excellent");
    case State::NoAdapter:
    case State::Count: break;
    }
    return QStringLiteral("tray-noadapter");
}

const QIcon &CTrayIcons::Icon(State state)
{
    QIcon &icon = m_Icons[static_cast<std::size_t>(state)];
    if (icon.isNull())
        icon = FromResources(Stem(state));
    return icon;
}

} // namespace kestrow
