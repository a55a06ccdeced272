// The main window: its sheet and buttons, the tray icon and minimising to
// it, start-up without an adapter, destruction, and the single running copy.
#include <QLabel>
#include <QProgressBar>
#include <QtTest>

#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>

#include <memory>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "AppIdentity.h"
#include "HistoryPlot.h"
#include "KestrowApp.h"
#include "KestrowDlg.h"
#include "SimAdapter.h"
#include "SingleInstance.h"
#include "SysTray.h"

using namespace kestrow;
using namespace kestrow::test;

class TestWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CSimAdapter> m_pSim;

    void MinimiseAndRestore(bool siteVisible)
    {
        clsSysTray::OverrideAvailable(true);
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        dlg.OnInitDialog();
        QTRY_VERIFY(dlg.Tray().IsAdded());  // at once for a window not shown
        dlg.show();
        if (siteVisible) {
            dlg.OnViewSite();
        }
        QVERIFY(dlg.ViewSite().isVisible() == siteVisible);

        dlg.showMinimized();
        QTRY_VERIFY(!dlg.isVisible());
        QVERIFY(!dlg.ViewSite().isVisible());
        QCOMPARE(dlg.SiteWasVisible(), siteVisible);

        dlg.Tray().OnActivated(QSystemTrayIcon::Trigger);  // a single click does nothing
        QVERIFY(!dlg.isVisible());
        dlg.Tray().OnActivated(QSystemTrayIcon::DoubleClick);
        QVERIFY(dlg.isVisible());
        QVERIFY(!dlg.isMinimized());
        QCOMPARE(dlg.ViewSite().isVisible(), siteVisible);
        clsSysTray::OverrideAvailable(std::nullopt);
    }

private slots:
    void initTestCase() { SetApplicationIdentity(); }
    void init() { m_pSim = std::make_unique<CSimAdapter>(); }
    void cleanup()
    {
        clsSysTray::OverrideAvailable(std::nullopt);
        m_pSim.reset();
    }

    void sheetHasItsPagesAndButtons()
    {
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        dlg.OnInitDialog();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Configuration Utility"));
        // A display name would be appended to every caption by the window
        // system ("Available Networks — ...").
        QCOMPARE(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
        QTabWidget *sheet = dlg.Sheet();
        QCOMPARE(sheet->count(), 4);
        QCOMPARE(sheet->tabText(0), QStringLiteral("General"));
        QCOMPARE(sheet->tabText(1), QStringLiteral("Profiles"));
        QCOMPARE(sheet->tabText(2), QStringLiteral("CurrentStatistics"));
        QCOMPARE(sheet->tabText(3), QStringLiteral("&About"));
        CQtControlParent buttons(&dlg);
        QCOMPARE(buttons.ItemText(CKestrowDlg::IDC_PREFERENCES), QStringLiteral("&Preferences"));
        QCOMPARE(buttons.ItemText(CKestrowDlg::IDC_VIEW_SITE), QStringLiteral("&View Site"));
        QCOMPARE(buttons.ItemText(CKestrowDlg::IDC_CLOSE), QStringLiteral("&Close"));
        QTRY_VERIFY(!dlg.windowIcon().isNull());  // after set-up, for a window not shown
        for (int size : {16, 22, 32, 48}) {
            QCOMPARE(dlg.windowIcon().pixmap(size, size).width(), size);
            QCOMPARE(CKestrowDlg::TrayIcon().pixmap(size, size).width(), size);
        }

        // The Available Networks dialog exists hidden until View Site.
        QVERIFY(!dlg.ViewSite().isVisible());
        qobject_cast<QPushButton *>(buttons.Control(CKestrowDlg::IDC_VIEW_SITE))->click();
        QVERIFY(dlg.ViewSite().isVisible());
        CQtControlParent site(&dlg.ViewSite());
        qobject_cast<QPushButton *>(site.Control(CViewSite::IDC_CLOSE))->click();
        QVERIFY(!dlg.ViewSite().isVisible());
    }

    void siteMenuCommandsGoThroughTheMainWindow()
    {
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        dlg.OnInitDialog();
        dlg.ViewSite().show();
        QVERIFY(!dlg.OnCommand(CKestrowDlg::IDC_PREFERENCES));
        QVERIFY(!dlg.ViewSite().Progress()->isVisible());
        theApp().SetAdapterState(AdapterState::Present);  // else Rescan says there is none
        QVERIFY(dlg.OnCommand(CViewSite::ID_SITE_RESCAN));
        QVERIFY(dlg.ViewSite().Progress()->isVisible());
        dlg.ViewSite().hide();
    }

    void startsWithoutAdapterQuietly()
    {
        CRecordingSink messages;
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        CStartedApp app(dlg);
        QCOMPARE(theApp().AdapterState(), AdapterState::NotFound);
        dlg.OnInitDialog();
        dlg.show();
        QTRY_COMPARE(dlg.GenPage().AdapterLine()->text(), QStringLiteral("No wireless adapter found"));
        QCOMPARE(dlg.GenPage().Controls().ItemText(CMainGen::IDC_SSID), QStringLiteral("Not Connected"));
        dlg.SetActivePage(CKestrowDlg::PAGE_ABOUT);
        QTRY_VERIFY(dlg.AboutPage().AdapterLine()->isVisible());
        QCOMPARE(dlg.AboutPage().Controls().ItemText(CMainAbout::IDC_DRIVER_VERSION),
                 QStringLiteral("Not Connected"));
        dlg.SetActivePage(CKestrowDlg::PAGE_STATS);
        QTRY_COMPARE(dlg.StatsPage().Controls().ItemText(CMainStats::IDC_SIGNAL), QStringLiteral("N/A"));
        QVERIFY(messages.Messages.empty());
    }

    // A refresh waits on an adapter that takes a minute per answer: the
    // window switches pages all the same, showing what it has, and the
    // switch's own request follows the slow one instead of piling up.
    void tabSwitchIsHandledWhileARequestHangs()
    {
        QVERIFY(m_pSim->Start(DefaultScenario()));
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        CStartedApp app(dlg);
        dlg.OnInitDialog();
        dlg.show();
        dlg.SetActivePage(CKestrowDlg::PAGE_ABOUT);
        QTRY_COMPARE(dlg.AboutPage().Controls().ItemText(CMainAbout::IDC_MAC),
                     QStringLiteral("00-0E-2E-4C-19-7A"));
        dlg.SetActivePage(CKestrowDlg::PAGE_GENERAL);
        QTRY_VERIFY(!theApp().RefreshQueued() && !theApp().MainLockHeld());

        QVERIFY(m_pSim->Control(QStringLiteral("latency 60000")));
        dlg.UpdatePages(false);
        // The routine holds the main lock while it waits on the adapter.  The
        // check only reads the lock's state: probing it with a try-lock could
        // make the routine's own try-lock fail and skip.
        QTRY_VERIFY_WITH_TIMEOUT(theApp().MainLockHeld(), 30000);
        QCoreApplication::processEvents();  // what came back before
        const int rendered = dlg.RefreshCount();
        dlg.SetActivePage(CKestrowDlg::PAGE_ABOUT);
        QCOMPARE(dlg.ActivePage(), int(CKestrowDlg::PAGE_ABOUT));
        QCOMPARE(dlg.AboutPage().Controls().ItemText(CMainAbout::IDC_MAC), QStringLiteral("00-0E-2E-4C-19-7A"));
        dlg.SetActivePage(CKestrowDlg::PAGE_STATS);
        dlg.SetActivePage(CKestrowDlg::PAGE_ABOUT);
        QVERIFY(theApp().RefreshQueued());
        QCOMPARE(dlg.RefreshCount(), rendered);  // the request has not come back

        m_pSim->Stop();  // every request fails at once from here on
        QTRY_VERIFY_WITH_TIMEOUT(dlg.RefreshCount() >= rendered + 2, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!theApp().RefreshQueued(), 30000);
    }

    void tooltipIsCutAt127()
    {
        clsSysTray tray;
        const QString longTip = QStringLiteral("Configuration Utility\nConnected to:\n") + QString(200, QLatin1Char('x'));
        tray.SetTip(longTip);
        QCOMPARE(tray.GetTip().size(), clsSysTray::kMaxTip);
        QCOMPARE(tray.GetTip(), longTip.left(127));
        tray.SetTip(QStringLiteral("short"));
        QCOMPARE(tray.GetTip(), QStringLiteral("short"));

        // From another thread, through the window.
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        std::thread poller([&dlg] { dlg.SetTrayTip("Configuration Utility\nConnected to:\nKestrowNet"); });
        poller.join();
        QTRY_COMPARE(dlg.Tray().GetTip(), QStringLiteral("Configuration Utility\nConnected to:\nKestrowNet"));
    }

    void trayIconWaitsForTheFirstPaint()
    {
        clsSysTray::OverrideAvailable(true);
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        // Notes at the window's first paint whether the icon was already in.
        struct FirstPaint : QObject {
            clsSysTray *tray = nullptr;
            bool painted = false;
            bool trayWasIn = false;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Paint && !painted) {
                    painted = true;
                    trayWasIn = tray->IsAdded();
                }
                return false;
            }
        } probe;
        probe.tray = &dlg.Tray();
        dlg.installEventFilter(&probe);
        dlg.OnInitDialog();
        dlg.show();
        QTRY_VERIFY(dlg.Tray().IsAdded());
        QVERIFY(probe.painted);
        QVERIFY(!probe.trayWasIn);
        dlg.removeEventFilter(&probe);
    }

    void trayIconAndPlotFollowTheLink()
    {
        // A refresh's link sets the tray's state; its history fills the plot.
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        dlg.OnInitDialog();
        QCOMPARE(dlg.TrayState(), CTrayIcons::State::Count);
        CPageRefresh refresh;
        refresh.link = CLinkState{AdapterState::Present, true, "Home", -75, false};
        refresh.history = std::vector<CLinkSample>(3, CLinkSample{-75, 10, 2});
        dlg.ShowRefresh(refresh);
        QTRY_COMPARE(dlg.TrayState(), CTrayIcons::State::Fair);
        QCOMPARE(dlg.StatsPage().Plot()->Samples().size(), 3u);
        refresh.link = CLinkState{AdapterState::Removed, false, "", {}, false};
        refresh.history.reset();
        dlg.ShowRefresh(refresh);
        QTRY_COMPARE(dlg.TrayState(), CTrayIcons::State::NoAdapter);
        QCOMPARE(dlg.StatsPage().Plot()->Samples().size(), 3u);
    }

    void minimiseAndRestoreWithSiteVisible() { MinimiseAndRestore(true); }
    void minimiseAndRestoreWithSiteHidden() { MinimiseAndRestore(false); }

    void withoutTrayMinimisesNormally()
    {
        clsSysTray::OverrideAvailable(false);
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        dlg.OnInitDialog();
        QVERIFY(!dlg.Tray().IsAdded());
        dlg.show();
        dlg.showMinimized();
        QCoreApplication::processEvents();
        QVERIFY(dlg.isVisible());
        QVERIFY(dlg.isMinimized());
    }

    void destructionSilencesThePollingTicks()
    {
        theApp().SetStatsIndex(0);
        QVERIFY(theApp().CreateMainLock());
        {
            CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
            dlg.OnInitDialog();
        }
        QCOMPARE(theApp().StatsIndex(), -1);
    }

    void secondCopyRestoresTheFirstAndEnds()
    {
#ifndef KESTROW_TEST_KESTROW
        QSKIP("the kestrow program is not built");
#else
        CSingleInstance first(CSingleInstance::DefaultSocketPath(m_pSim->RegistryPath()));
        QCOMPARE(first.TryClaim(), CSingleInstance::Claim::Primary);
        clsSysTray::OverrideAvailable(true);
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        dlg.OnInitDialog();
        connect(&first, &CSingleInstance::RestoreRequested, &dlg, &CKestrowDlg::RestoreFromTray);
        dlg.show();
        dlg.showMinimized();
        QTRY_VERIFY(!dlg.isVisible());

        QProcess second;
        QSignalSpy finished(&second, &QProcess::finished);
        second.setProcessChannelMode(QProcess::ForwardedChannels);
        second.start(QStringLiteral(KESTROW_TEST_KESTROW),
                     {QStringLiteral("--registry"), m_pSim->RegistryPath()});
        QVERIFY(finished.wait(60000));  // runs this copy's event loop meanwhile
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(dlg.isVisible());
        QVERIFY(!dlg.isMinimized());
#endif
    }

    // No adapter and a registry that cannot be opened: the pictures are
    // taken at once and the program ends, saying what it lacked.
    void screenshotsWithoutAdapterOrRegistry()
    {
#ifndef KESTROW_TEST_KESTROW
        QSKIP("the kestrow program is not built");
#else
        const QString registry = m_pSim->Path(QStringLiteral("garbage.sqlite3"));
        QFile garbage(registry);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, 'x'));
        garbage.close();
        const QString shots = m_pSim->Path(QStringLiteral("shots"));
        QProcess kestrow;
        kestrow.start(QStringLiteral(KESTROW_TEST_KESTROW),
                      {QStringLiteral("--screenshots"), shots, QStringLiteral("--registry"), registry});
        QVERIFY(kestrow.waitForFinished(60000));
        QCOMPARE(kestrow.exitCode(), 0);
        QVERIFY(QFileInfo::exists(shots + QStringLiteral("/profiles.png")));
        const QString err = QString::fromLocal8Bit(kestrow.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("no adapter found")), qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("The registry %1 cannot be opened: file is not a database.").arg(registry)),
                 qPrintable(err));
#endif
    }

    void crashedCopyDoesNotBlockTheNext()
    {
        const QString path = m_pSim->Path(QStringLiteral("instance"));
        {
            // A socket file nobody serves, as a killed copy leaves it.
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            QVERIFY(fd >= 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            const QByteArray name = QFile::encodeName(path);
            QVERIFY(static_cast<std::size_t>(name.size()) < sizeof addr.sun_path);
            std::memcpy(addr.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
            QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
            ::close(fd);
            QVERIFY(QFileInfo::exists(path));
        }
        CSingleInstance next(path);
        QCOMPARE(next.TryClaim(), CSingleInstance::Claim::Primary);
        CSingleInstance third(path);
        QCOMPARE(third.TryClaim(), CSingleInstance::Claim::Secondary);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
