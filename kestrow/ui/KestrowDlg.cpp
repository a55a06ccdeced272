#include "KestrowDlg.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include <chrono>

#include <memory>

#include "KestrowApp.h"
#include "PageLayout.h"
#include "QueuedCall.h"
#include "SectionLock.h"
#include "Preferences.h"
#include "Prefs.h"
#include "WirelessService.h"

namespace kestrow {

namespace {
// The wireless service is started again at exit only on Windows NT 5.1,
// where stopping it at start-up would otherwise leave the system without
// it; never on this platform.
bool IsWindowsNT51()
{
    return false;
}
} // namespace

QIcon CKestrowDlg::ProgramIcon()
{
    return CTrayIcons::FromResources(QStringLiteral("program"));
}

QIcon CKestrowDlg::TrayIcon()
{
    return CTrayIcons::FromResources(QStringLiteral("tray"));
}

CKestrowDlg::CKestrowDlg(const QString &caption, QWidget *parent, int selectPage)
    : QDialog(parent), m_Notifier(std::chrono::steady_clock::now())
{
    m_Notifier.Policy().SetEnabled(CPreferences::ShowNotifications(theApp()));
    setObjectName(QStringLiteral("KestrowDlg"));
    setWindowTitle(caption);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setModal(false);

    auto *layout = new QVBoxLayout(this);
    m_pSheet = new QTabWidget;
    // Each page is built by its slot when first needed; the page shown
    // first is built below.
    m_Slots = {
        new CPageSlot([this] { return m_pGenPage = new CMainGen; }),
        new CPageSlot([this] { return m_pProfilePage = new CMainProfile; }),
        new CPageSlot([this] { return m_pStatsPage = new CMainStats; }),
        new CPageSlot([this] { return m_pAboutPage = new CMainAbout; }),
    };
    m_pSheet->addTab(m_Slots[PAGE_GENERAL], QStringLiteral("General"));
    m_pSheet->addTab(m_Slots[PAGE_PROFILES], QStringLiteral("Profiles"));
    m_pSheet->addTab(m_Slots[PAGE_STATS], QStringLiteral("CurrentStatistics"));
    m_pSheet->addTab(m_Slots[PAGE_ABOUT], QStringLiteral("&About"));
    if (selectPage >= 0 && selectPage < m_pSheet->count()) {
        m_pSheet->setCurrentIndex(selectPage);
    }
    BuildPage(m_pSheet->currentIndex());
    layout->addWidget(m_pSheet);

    // The button row: Preferences and View Site at the left, Close at the right.
    auto *row = new QHBoxLayout;
    m_pBtnPrefs = CQtControlParent::Tag(new QPushButton(QStringLiteral("&Preferences")), IDC_PREFERENCES);
    m_pBtnViewSite = CQtControlParent::Tag(new QPushButton(QStringLiteral("&View Site")), IDC_VIEW_SITE);
    auto *close = CQtControlParent::Tag(new QPushButton(QStringLiteral("&Close")), IDC_CLOSE);
    for (QPushButton *b : {m_pBtnPrefs, m_pBtnViewSite, close}) {
        b->setAutoDefault(false);
    }
    row->addWidget(m_pBtnPrefs);
    row->addWidget(m_pBtnViewSite);
    row->addStretch(1);
    row->addWidget(close);
    layout->addLayout(row);

    connect(m_pBtnPrefs, &QPushButton::clicked, this, &CKestrowDlg::OnPreferences);
    connect(m_pBtnViewSite, &QPushButton::clicked, this, &CKestrowDlg::OnViewSite);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pSheet, &QTabWidget::currentChanged, this, &CKestrowDlg::OnPageChanged);
    connect(&m_Tray, &clsSysTray::DoubleClicked, this, &CKestrowDlg::RestoreFromTray);
}

CKestrowDlg::~CKestrowDlg()
{
    // The pages go first, as the sheet goes, without activating one another.
    disconnect(m_pSheet, nullptr, this, nullptr);
    delete m_pSheet;
    m_pSheet = nullptr;
    m_pGenPage = nullptr;
    m_pProfilePage = nullptr;
    m_pStatsPage = nullptr;
    m_pAboutPage = nullptr;
    CKestrowApp &app = theApp();
    // Every later polling tick does nothing.
    if (CSectionLock lock(app, Section::Main); lock) {
        app.SetStatsIndex(-1);
    }
    if (IsWindowsNT51()) {
        StartWirelessService();
    }
    m_Tray.Remove();
}

void CKestrowDlg::OnInitDialog(bool shownSoon)
{
    if (m_bInitDone) {
        return;
    }
    m_bInitDone = true;
    // The first page is set up as the sheet shows it, and asks for values.
    OnPageChanged(m_pSheet->currentIndex());
    if (m_pProfilePage != nullptr) {
        m_pProfilePage->Refresh();
    }
    m_bSiteWasVisible = false;
    // Loading the icons, reaching the notification area (over the session
    // bus), making the value texts selectable and building the other pages
    // take time the first paint should not wait for: they follow the
    // window's first paint, come at once when the window is not going to be
    // shown, and at the latest after a second.
    m_bAfterPaintPending = true;
    if (!shownSoon) {
        QMetaObject::invokeMethod(this, [this] {
            if (!isVisible()) {
                FinishAfterFirstPaint();
            }
        }, Qt::QueuedConnection);
    }
    QTimer::singleShot(1000, this, &CKestrowDlg::FinishAfterFirstPaint);
}

void CKestrowDlg::FinishAfterFirstPaint()
{
    if (!m_bAfterPaintPending) {
        return;
    }
    m_bAfterPaintPending = false;
    const QIcon icon = ProgramIcon();
    setWindowIcon(icon);
    if (m_pViewSite) {
        m_pViewSite->setWindowIcon(icon);
    }
    m_Tray.SetIcon(m_TrayState == CTrayIcons::State::Count ? TrayIcon() : m_TrayIcons.Icon(m_TrayState));
    m_Tray.Add();
    m_bValuesSelectable = true;
    for (CPageSlot *slot : m_Slots) {
        CPageLayout::MakeValuesSelectable(slot);
    }
    // The other pages follow while the event loop is idle, so that a tab
    // switch later finds its page ready.
    BuildNextPageWhenIdle();
}

void CKestrowDlg::BuildNextPageWhenIdle()
{
    QTimer::singleShot(0, this, [this] {
        for (int page = 0; page < static_cast<int>(m_Slots.size()); ++page) {
            if (!IsPageBuilt(page)) {
                BuildPage(page);
                BuildNextPageWhenIdle();
                return;
            }
        }
    });
}

bool CKestrowDlg::IsPageBuilt(int page) const
{
    return page >= 0 && page < static_cast<int>(m_Slots.size()) && m_Slots[page]->IsBuilt();
}

void CKestrowDlg::BuildPage(int index)
{
    if (index < 0 || index >= static_cast<int>(m_Slots.size()) || m_Slots[index]->IsBuilt()) {
        return;
    }
    m_Slots[index]->Build();
    if (m_bValuesSelectable) {
        CPageLayout::MakeValuesSelectable(m_Slots[index]);
    }
    // What came for the page before it was there.
    switch (index) {
    case PAGE_GENERAL:
        if (m_LastAdapter) {
            m_pGenPage->ShowAdapter(*m_LastAdapter);
        }
        break;
    case PAGE_STATS:
        if (m_PendingHistory) {
            m_pStatsPage->ShowHistory(std::move(m_PendingHistory->samples), m_PendingHistory->dbm);
            m_PendingHistory.reset();
        }
        break;
    case PAGE_ABOUT:
        if (m_LastAdapter) {
            m_pAboutPage->ShowAdapter(*m_LastAdapter);
        }
        break;
    default: break;
    }
}

CMainGen &CKestrowDlg::GenPage()
{
    BuildPage(PAGE_GENERAL);
    return *m_pGenPage;
}

CMainProfile &CKestrowDlg::ProfilePage()
{
    BuildPage(PAGE_PROFILES);
    return *m_pProfilePage;
}

CMainStats &CKestrowDlg::StatsPage()
{
    BuildPage(PAGE_STATS);
    return *m_pStatsPage;
}

CMainAbout &CKestrowDlg::AboutPage()
{
    BuildPage(PAGE_ABOUT);
    return *m_pAboutPage;
}

CViewSite &CKestrowDlg::ViewSite()
{
    if (!m_pViewSite) {
        m_pViewSite = std::make_unique<CViewSite>();
        m_pViewSite->SetMenuOwner([this](int id) { return OnCommand(id); });
        m_pViewSite->setWindowIcon(windowIcon());
    }
    return *m_pViewSite;
}

bool CKestrowDlg::event(QEvent *event)
{
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::Paint && m_bAfterPaintPending) {
        QMetaObject::invokeMethod(this, &CKestrowDlg::FinishAfterFirstPaint, Qt::QueuedConnection);
    }
    if (event->type() == QEvent::Show && m_bInTray) {
        // Back from the notification area: the page shows what it had until
        // its fresh values come.
        m_bInTray = false;
        UpdatePages(false);
    }
    return handled;
}

int CKestrowDlg::ActivePage() const
{
    return m_pSheet->currentIndex();
}

void CKestrowDlg::SetActivePage(int index)
{
    m_pSheet->setCurrentIndex(index);
}

void CKestrowDlg::OnPageChanged(int index)
{
    // The page shows at once what it showed last; its fresh values follow
    // from the refresh worker.
    CRefreshRequest parts;
    switch (index) {
    case PAGE_GENERAL:
        GenPage().OnSetActive();
        parts.general = true;
        break;
    case PAGE_PROFILES: ProfilePage().OnSetActive(); return;
    case PAGE_STATS:
        StatsPage().OnSetActive();
        parts.statistics = true;
        break;
    case PAGE_ABOUT:
        AboutPage().OnSetActive();
        parts.about = true;
        break;
    default: return;
    }
    theApp().RequestRefresh(parts);
}

CRefreshRequest CKestrowDlg::VisibleParts() const
{
    CRefreshRequest parts;
    // In the notification area nothing of the window is seen: the routine
    // only follows the link (for the tray icon and the notifications), and
    // restoring asks for the page's values.
    if (m_bInTray) {
        return parts;
    }
    const int active = ActivePage();
    parts.general = active == PAGE_GENERAL;
    parts.statistics = active == PAGE_STATS;
    parts.aboutOnFull = active == PAGE_ABOUT;
    parts.siteList = IsSiteListVisible();
    return parts;
}

void CKestrowDlg::UpdatePages(bool full)
{
    CRefreshRequest parts = VisibleParts();
    if (full) {
        if (m_pProfilePage != nullptr) {
            m_pProfilePage->Refresh();
        }
        parts.about = parts.aboutOnFull;
    }
    theApp().RequestRefresh(parts);
}

void CKestrowDlg::ShowRefresh(CPageRefresh refresh)
{
    // The refresh worker calls this; the pages belong to this thread.
    auto values = std::make_shared<CPageRefresh>(std::move(refresh));
    PostQueued(this, [this, values] { Render(*values); });
}

void CKestrowDlg::Render(CPageRefresh &refresh)
{
    const CStatusSnapshot &s = refresh.status;
    m_LastAdapter = refresh.adapter;
    // A page's own values come only while it is shown (and so built); the
    // adapter line goes on the pages built so far.
    if (refresh.generalRead) {
        GenPage().Show(s, refresh.adapter);
    } else if (m_pGenPage != nullptr) {
        m_pGenPage->ShowAdapter(refresh.adapter);
    }
    if (refresh.statisticsRead) {
        StatsPage().Show(s);
    }
    if (refresh.history) {
        if (m_pStatsPage != nullptr) {
            m_pStatsPage->ShowHistory(std::move(*refresh.history), refresh.historyDbm);
        } else {
            m_PendingHistory = History{std::move(*refresh.history), refresh.historyDbm};
        }
    }
    ShowLink(refresh.link);
    if (refresh.aboutRead) {
        AboutPage().Show(s, refresh.adapter);
    } else if (m_pAboutPage != nullptr) {
        m_pAboutPage->ShowAdapter(refresh.adapter);
    }
    // The first values follow start-up, which made the profile store.
    if ((refresh.full || m_nRefreshes == 0) && m_pProfilePage != nullptr) {
        m_pProfilePage->Refresh();
    }
    if (refresh.full) {
        ++m_nFullRefreshes;
    }
    if (refresh.siteRows && m_pViewSite) {
        m_pViewSite->ApplyStations(std::move(*refresh.siteRows));
    }
    ++m_nRefreshes;
    emit PagesUpdated(refresh.full);
    for (const auto &[page, read] : {std::pair{PAGE_GENERAL, refresh.generalRead},
                                     std::pair{PAGE_STATS, refresh.statisticsRead},
                                     std::pair{PAGE_ABOUT, refresh.aboutRead}}) {
        if (read) {
            emit PageValuesShown(page);
        }
    }
}

void CKestrowDlg::NoteUserConnect(const std::string &ssid)
{
    // The device worker calls this; the notifier belongs to this thread.
    PostQueued(this, [this, ssid] {
        m_Notifier.Policy().ExpectUserConnect(ssid, std::chrono::steady_clock::now());
    });
}

void CKestrowDlg::ShowLink(const CLinkState &link)
{
    m_Notifier.Handle(m_LinkEvents.Update(link), std::chrono::steady_clock::now());
    const CTrayIcons::State state = CTrayIcons::StateOf(link.adapter, link.connected, link.signalDbm);
    if (state != m_TrayState) {
        m_TrayState = state;
        // Until the first paint the tray keeps the program's own picture.
        if (!m_bAfterPaintPending) {
            m_Tray.SetIcon(m_TrayIcons.Icon(state));
        }
    }
}

void CKestrowDlg::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        FinishAfterFirstPaint();  // minimising goes to the tray
    }
    if (event->type() != QEvent::WindowStateChange || !isMinimized() || !m_Tray.IsAdded() ||
        m_bMinimizePending) {
        return;
    }
    // Hide once the window system has finished minimising.
    m_bMinimizePending = true;
    QMetaObject::invokeMethod(this, [this] {
        m_bMinimizePending = false;
        if (isMinimized()) {
            MinimizeToTray();
        }
    }, Qt::QueuedConnection);
}

void CKestrowDlg::MinimizeToTray()
{
    m_bInTray = true;
    hide();
    m_bSiteWasVisible = IsSiteListVisible();
    if (m_bSiteWasVisible) {
        m_pViewSite->hide();
    }
}

void CKestrowDlg::RestoreFromTray()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    if (m_bSiteWasVisible) {
        CViewSite &site = ViewSite();
        site.setWindowState(site.windowState() & ~Qt::WindowMinimized);
        site.show();
        site.raise();
    }
}

bool CKestrowDlg::IsSiteListVisible() const
{
    return m_pViewSite && m_pViewSite->isVisible();
}

void CKestrowDlg::SetTrayTip(const std::string &text)
{
    // The polling thread calls this; the tray belongs to this thread.
    PostQueued(this, [this, tip = QStr(text)] { m_Tray.SetTip(tip); });
}

void CKestrowDlg::OnPreferences()
{
    CPrefs prefs(this, m_pViewSite.get());  // a site list not made yet needs no refresh
    connect(&prefs, &CPrefs::Applied, this, [this](const CPrefValues &values) {
        m_Notifier.Policy().SetEnabled(values.notify);
    });
    prefs.exec();
}

bool CKestrowDlg::OnCommand(int id)
{
    switch (id) {
    case CViewSite::ID_SITE_CONNECT:
    case CViewSite::ID_SITE_SAVE_PROFILE:
    case CViewSite::ID_SITE_EDIT_CONNECTION:
    case CViewSite::ID_SITE_RESCAN:
        return ViewSite().OnCommand(id);
    default:
        return false;
    }
}

void CKestrowDlg::OnViewSite()
{
    CViewSite &site = ViewSite();
    site.show();
    site.raise();
    site.activateWindow();
}

} // namespace kestrow
