#include "SysTray.h"

#include <QApplication>
#include <QStyle>

namespace {
std::optional<bool> g_availableOverride;
} // namespace

clsSysTray::clsSysTray(QObject *parent) : QObject(parent) {}

clsSysTray::~clsSysTray()
{
    Remove();
}

bool clsSysTray::Available()
{
    return g_availableOverride ? *g_availableOverride : QSystemTrayIcon::isSystemTrayAvailable();
}

void clsSysTray::OverrideAvailable(std::optional<bool> available)
{
    g_availableOverride = available;
}

bool clsSysTray::Add()
{
    if (m_bAdded) {
        return true;
    }
    if (!Available()) {
        return false;
    }
    if (!m_pIcon) {
        m_pIcon = std::make_unique<QSystemTrayIcon>();
        connect(m_pIcon.get(), &QSystemTrayIcon::activated, this, &clsSysTray::OnActivated);
    }
    // Until the program sets its own, the icon is the style's computer icon;
    // it is looked up only here, since the theme lookup costs start-up time.
    if (m_Icon.isNull()) {
        m_Icon = QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
    }
    m_pIcon->setIcon(m_Icon);
    m_pIcon->setToolTip(m_strTip);
    m_pIcon->show();
    m_bAdded = m_pIcon->isVisible();
    return m_bAdded;
}

bool clsSysTray::Remove()
{
    if (!m_bAdded) {
        return false;
    }
    m_pIcon->hide();
    m_bAdded = false;
    return true;
}

bool clsSysTray::SetIcon(const QIcon &icon)
{
    // The notification area is told only of a change (over the session bus
    // on most desktops).
    if (icon.cacheKey() == m_Icon.cacheKey()) {
        return true;
    }
    m_Icon = icon;
    if (m_bAdded) {
        m_pIcon->setIcon(m_Icon);
    }
    return true;
}

bool clsSysTray::SetTip(const QString &text)
{
    QString tip = text.left(kMaxTip);
    // Never leave half of a surrogate pair at the cut.
    if (tip.size() == kMaxTip && tip.back().isHighSurrogate()) {
        tip.chop(1);
    }
    if (tip == m_strTip) {
        return true;
    }
    m_strTip = tip;
    if (m_bAdded) {
        m_pIcon->setToolTip(m_strTip);
    }
    return true;
}

void clsSysTray::OnActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick) {
        emit DoubleClicked();
    }
}
