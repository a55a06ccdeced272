#include "Screenshots.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

#include "HistoryPlot.h"
#include "KestrowApp.h"
#include "KestrowDlg.h"
#include "TrayIcons.h"

namespace kestrow {

CScreenshots::CScreenshots(CKestrowDlg &dlg, QString dir, int timeoutMs)
    : m_Dlg(dlg), m_strDir(std::move(dir))
{
    m_Timeout.setSingleShot(true);
    m_Timeout.setInterval(timeoutMs);
    connect(&m_Timeout, &QTimer::timeout, this, [this] { Begin(true); });
    m_PageTimeout.setSingleShot(true);
    m_PageTimeout.setInterval(timeoutMs);
    connect(&m_PageTimeout, &QTimer::timeout, this, &CScreenshots::TakePage);
}

bool CScreenshots::Start()
{
    if (!QDir().mkpath(m_strDir)) {
        return false;
    }
    connect(&m_Dlg, &CKestrowDlg::PagesUpdated, this, [this](bool full) {
        if (!m_bStarted && full) {
            Begin(false);
        }
    });
    connect(&m_Dlg, &CKestrowDlg::PageValuesShown, this, [this](int page) {
        if (m_bWaitingForPage && page == m_nPage) {
            m_bPageValuesIn = true;
            TakePageWhenReady();
        }
    });
    // The history plot gains a sample with every refresh.
    connect(&m_Dlg, &CKestrowDlg::PagesUpdated, this, [this] {
        if (m_bWaitingForPage && m_bPageValuesIn) {
            TakePageWhenReady();
        }
    });
    if (theApp().AdapterState() == AdapterState::NotFound) {
        // The polling thread refreshes nothing without an adapter.
        std::fputs("kestrow: no adapter found; taking the screenshots without one\n", stderr);
        m_bWithAdapter = false;
        QMetaObject::invokeMethod(this, [this] { Begin(false); }, Qt::QueuedConnection);
        return true;
    }
    m_Timeout.start();
    return true;
}

void CScreenshots::Begin(bool timedOut)
{
    if (m_bStarted) {
        return;
    }
    m_bStarted = true;
    m_Timeout.stop();
    if (timedOut) {
        std::fputs("kestrow: no full refresh came; taking the screenshots as they are\n", stderr);
    }
    m_nPrevious = m_Dlg.ActivePage();
    m_nPage = 0;
    NextPage();
}

void CScreenshots::NextPage()
{
    if (m_nPage >= 4) {
        m_Dlg.SetActivePage(m_nPrevious);
        m_bOk = TakeSite() && m_bOk;
        m_bOk = TakeTrayIcons() && m_bOk;
        emit Finished(m_bOk);
        return;
    }
    const bool alreadyShown = m_Dlg.ActivePage() == m_nPage;
    m_Dlg.SetActivePage(m_nPage);  // activates the page, which asks for its values
    if (!m_bWithAdapter || m_nPage == CKestrowDlg::PAGE_PROFILES) {
        // Nothing to wait for.
        QMetaObject::invokeMethod(this, &CScreenshots::TakePage, Qt::QueuedConnection);
        return;
    }
    if (alreadyShown) {
        m_Dlg.UpdatePages(false);
    }
    m_bWaitingForPage = true;
    m_bPageValuesIn = false;
    m_PageTimeout.start();
}

void CScreenshots::TakePageWhenReady()
{
    // Right after start the plot holds a few samples: the Statistics page
    // waits for some more (bounded by the page's time-out).
    if (m_nPage == CKestrowDlg::PAGE_STATS &&
        m_Dlg.StatsPage().Plot()->Samples().size() < static_cast<std::size_t>(kPlotSamples)) {
        return;
    }
    m_bWaitingForPage = false;
    // Let the refreshed texts lay themselves out before painting.
    QMetaObject::invokeMethod(this, &CScreenshots::TakePage, Qt::QueuedConnection);
}

void CScreenshots::TakePage()
{
    static const char *const kNames[] = {"general.png", "profiles.png", "statistics.png", "about.png"};
    if (m_nPage >= 4) {
        return;
    }
    m_bWaitingForPage = false;
    m_PageTimeout.stop();
    m_bOk = Save(m_Dlg, QString::fromLatin1(kNames[m_nPage])) && m_bOk;
    ++m_nPage;
    NextPage();
}

bool CScreenshots::Save(QWidget &widget, const QString &name)
{
    QApplication::processEvents();
    const QString path = QDir(m_strDir).filePath(name);
    if (!widget.grab().save(path, "PNG")) {
        std::fprintf(stderr, "kestrow: cannot write %s\n", qPrintable(path));
        return false;
    }
    m_Written << path;
    return true;
}

namespace {
constexpr int kSiteRowsWaitMs = 5000;
}

bool CScreenshots::TakeTrayIcons()
{
    // The notification-area icon of each link state, at the size a panel
    // commonly uses.
    constexpr int kSize = 32;
    CTrayIcons icons;
    bool ok = true;
    for (int i = 0; i < static_cast<int>(CTrayIcons::State::Count); ++i) {
        const auto state = static_cast<CTrayIcons::State>(i);
        const QString path = QDir(m_strDir).filePath(CTrayIcons::Stem(state) + QStringLiteral(".png"));
        if (!icons.Icon(state).pixmap(kSize, kSize).save(path, "PNG")) {
            std::fprintf(stderr, "kestrow: cannot write %s\n", qPrintable(path));
            ok = false;
            continue;
        }
        m_Written << path;
    }
    return ok;
}

bool CScreenshots::TakeSite()
{
    bool ok = true;
    CViewSite &site = m_Dlg.ViewSite();
    const bool wasVisible = site.isVisible();
    m_Dlg.OnViewSite();
    // Both views, named after their titles; each switch rebuilds the list
    // from the latest scan, and the second leaves the chosen view in place.
    for (int i = 0; i < 2; ++i) {
        // The rows are built on the device worker: the picture waits for
        // them (at most a few seconds, so a hung adapter cannot stop it).
        QEventLoop wait;
        QTimer::singleShot(kSiteRowsWaitMs, &wait, &QEventLoop::quit);
        const auto applied = QObject::connect(&site, &CViewSite::StationsApplied, &wait, &QEventLoop::quit);
        site.OnToggleView();
        wait.exec();
        QObject::disconnect(applied);
        const QString name = site.IsNetView() ? QStringLiteral("available-networks.png")
                                              : QStringLiteral("available-aps.png");
        ok = Save(site, name) && ok;
    }
    if (!wasVisible) {
        site.hide();
    }
    return ok;
}

} // namespace kestrow
