// CKestrowDlg: the program's main window, the sheet "Configuration Utility"
// with the pages General, Profiles, CurrentStatistics and About, the buttons
// "&Preferences" and "&View Site" at the bottom left and "&Close".  It owns
// the Available Networks dialog (created hidden) and the tray icon.
// Minimising hides the window, and the Available Networks dialog with it,
// when the desktop has a notification area; a double click on the tray icon
// brings both back.  Without a notification area the window minimises
// normally, since a hidden window could never be brought back.
//
// Start-up builds only the page shown first; the others are built when
// first shown or, one per turn of the event loop, after the first paint.
// Values that arrive for a page not built yet (the adapter line, the
// history) are kept and put on it when it is built.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DesktopNotifier.h"
#include "IMainWindow.h"
#include "LinkEvents.h"
#include "MainAbout.h"
#include "MainGen.h"
#include "MainProfile.h"
#include "MainStats.h"
#include "PageSlot.h"
#include "SysTray.h"
#include "TrayIcons.h"
#include "ViewSite.h"

class QPushButton;
class QTabWidget;

namespace kestrow {

class CKestrowDlg : public QDialog, public IMainWindow {
    Q_OBJECT
public:
    enum : int {
        IDC_CLOSE = 2,
        IDC_PREFERENCES = 1017,
        IDC_VIEW_SITE = 1018,
    };
    enum Page : int { PAGE_GENERAL = 0, PAGE_PROFILES = 1, PAGE_STATS = 2, PAGE_ABOUT = 3 };

    // The sheet with its four pages; `selectPage` is the page shown first.
    explicit CKestrowDlg(const QString &caption, QWidget *parent = nullptr, int selectPage = PAGE_GENERAL);
    ~CKestrowDlg() override;

    // Set-up before the window is first shown: icons, the first page's own
    // set-up, a request for first values and the tray icon.  The icons, the
    // tray icon and the pages not shown follow the first paint; for a
    // window not shown they come at once, unless `shownSoon` says the
    // caller shows it shortly (once its first values are in).
    void OnInitDialog(bool shownSoon = false);

    // What the main timer routine reads for this window: the active page
    // (the About page on full refreshes only) and the Available Networks
    // list when it is shown.
    CRefreshRequest VisibleParts() const override;
    // Asks the refresh worker for the active page's values; when `full`,
    // refreshes the Profiles page's lists at once and asks for the About
    // page's values too when it is active.  Returns at once.
    void UpdatePages(bool full) override;
    // Refresh worker: hands the values to this window's thread.
    void ShowRefresh(CPageRefresh refresh) override;
    // Puts the values of one main timer routine on the pages.
    void Render(CPageRefresh &refresh);

    // Minimise to the notification area: hides this window and, when it is
    // visible, the Available Networks dialog.
    void MinimizeToTray();
    // Shows the window restored (and the Available Networks dialog when it
    // was visible at minimising), in front.
    void RestoreFromTray();

    // Whether the Available Networks dialog is shown.
    bool IsSiteListVisible() const;
    // Tooltip of the tray icon; may be called from any thread.
    void SetTrayTip(const std::string &text) override;

    // "&Preferences": the Preferences dialog, modal.
    void OnPreferences();
    // "&View Site": shows the Available Networks dialog.
    void OnViewSite();
    // The commands of the Available Networks dialog's context menu, whose
    // owner this window is ("&Connect", "&Save as Profile", "E&dit
    // Connection", "&Rescan"): forwarded to the dialog.  False for any other id.
    bool OnCommand(int id);

    QTabWidget *Sheet() const { return m_pSheet; }
    int ActivePage() const;
    void SetActivePage(int index);
    clsSysTray &Tray() { return m_Tray; }
    CDesktopNotifier &Notifier() { return m_Notifier; }
    void NoteUserConnect(const std::string &ssid) override;
    // The tray icon's link state (Count until the first values came).
    CTrayIcons::State TrayState() const { return m_TrayState; }
    // The Available Networks dialog, made on first use.
    CViewSite &ViewSite();
    // The pages, each built here when it was not yet.
    CMainGen &GenPage();
    CMainStats &StatsPage();
    CMainAbout &AboutPage();
    CMainProfile &ProfilePage();
    bool IsPageBuilt(int page) const;
    bool SiteWasVisible() const { return m_bSiteWasVisible; }
    // How many full refreshes, and how many refreshes of any kind, the
    // window has rendered.
    int FullRefreshCount() const { return m_nFullRefreshes; }
    int RefreshCount() const { return m_nRefreshes; }

    // Resource 128, the program icon, and the tray icon, at every size.
    static QIcon ProgramIcon();
    static QIcon TrayIcon();

signals:
    // After the values of a main timer routine were put on the pages.
    void PagesUpdated(bool full);
    // Fresh values of `page` were put on it (PAGE_GENERAL, _STATS, _ABOUT).
    void PageValuesShown(int page);

protected:
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;

private:
    void OnPageChanged(int index);
    // The tray icon and the notifications follow the link of a refresh.
    void ShowLink(const CLinkState &link);
    // The part of set-up that waits for the first paint: the window and
    // tray icons and the icon in the notification area.  Runs once.
    void FinishAfterFirstPaint();
    // Builds page `index` when it is not built yet.
    void BuildPage(int index);
    // Builds the next page not built yet, and asks for another turn when
    // one is left.
    void BuildNextPageWhenIdle();

    // Beyond the original: the link's events, notifications, tray states.
    CLinkEvents m_LinkEvents;
    CDesktopNotifier m_Notifier;
    CTrayIcons m_TrayIcons;
    CTrayIcons::State m_TrayState = CTrayIcons::State::Count;

    clsSysTray m_Tray;
    std::unique_ptr<CViewSite> m_pViewSite;
    bool m_bSiteWasVisible = false;
    // The pages, owned by their slots in the sheet; null until built.
    std::array<CPageSlot *, 4> m_Slots{};
    CMainGen *m_pGenPage = nullptr;
    CMainProfile *m_pProfilePage = nullptr;
    CMainStats *m_pStatsPage = nullptr;
    CMainAbout *m_pAboutPage = nullptr;
    // What the pages not built yet are given when they are.
    std::optional<AdapterState> m_LastAdapter;
    struct History {
        std::vector<CLinkSample> samples;
        bool dbm = false;
    };
    std::optional<History> m_PendingHistory;
    QPushButton *m_pBtnPrefs = nullptr;
    QPushButton *m_pBtnViewSite = nullptr;

    QTabWidget *m_pSheet = nullptr;
    bool m_bInitDone = false;
    bool m_bMinimizePending = false;
    bool m_bInTray = false;  // hidden in the notification area
    bool m_bAfterPaintPending = false;
    // The pages' value texts are selectable (set up after the first paint).
    bool m_bValuesSelectable = false;
    int m_nFullRefreshes = 0;
    int m_nRefreshes = 0;
};

} // namespace kestrow
