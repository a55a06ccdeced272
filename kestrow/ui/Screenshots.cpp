#include "Screenshots.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>

#include <cstdio>

#include "KestrowApp.h"
#include "KestrowDlg.h"

namespace kestrow {

CScreenshots::CScreenshots(CKestrowDlg &dlg, QString dir, int timeoutMs)
    : m_Dlg(dlg), m_strDir(std::move(dir))
{
    m_Timeout.setSingleShot(true);
    m_Timeout.setInterval(timeoutMs);
    connect(&m_Timeout, &QTimer::timeout, this, [this] { Finish(true); });
}

bool CScreenshots::Start()
{
    if (!QDir().mkpath(m_strDir)) {
        return false;
    }
    if (!theApp().DriverConnected()) {
        // The polling thread refreshes nothing without an adapter.
        std::fputs("kestrow: no adapter found; taking the screenshots without one\n", stderr);
        QMetaObject::invokeMethod(this, [this] { Finish(false); }, Qt::QueuedConnection);
        return true;
    }
    connect(&m_Dlg, &CKestrowDlg::PagesUpdated, this, [this](bool full) {
        if (full) {
            // Let the refreshed texts lay themselves out before painting.
            QMetaObject::invokeMethod(this, [this] { Finish(false); }, Qt::QueuedConnection);
        }
    });
    m_Timeout.start();
    return true;
}

void CScreenshots::Finish(bool timedOut)
{
    if (m_bDone) {
        return;
    }
    m_bDone = true;
    m_Timeout.stop();
    if (timedOut) {
        std::fputs("kestrow: no full refresh came; taking the screenshots as they are\n", stderr);
    }
    emit Finished(TakeAll());
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

bool CScreenshots::TakeAll()
{
    static const char *const kNames[] = {"general.png", "profiles.png", "statistics.png", "about.png"};
    bool ok = true;
    const int previous = m_Dlg.ActivePage();
    for (int page = 0; page < 4; ++page) {
        m_Dlg.SetActivePage(page);  // activates the page, which refreshes it
        ok = Save(m_Dlg, QString::fromLatin1(kNames[page])) && ok;
    }
    m_Dlg.SetActivePage(previous);
    CViewSite &site = m_Dlg.ViewSite();
    const bool wasVisible = site.isVisible();
    m_Dlg.OnViewSite();
    // Both views, named after their titles; each switch rebuilds the list
    // from the latest scan, and the second leaves the chosen view in place.
    for (int i = 0; i < 2; ++i) {
        site.OnToggleView();
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
