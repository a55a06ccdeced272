// The main window: its sheet and buttons, the tray icon (in after the first
// paint) and minimising to it, start-up without an adapter, destruction,
// and the single running copy.
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
#include "ChildProcess.h"
#include "HistoryPlot.h"
#include "KestrowApp.h"
#include "KestrowDlg.h"
#include "MainAbout.h"
#include "MainGen.h"
#include "SingleInstance.h"
#include "SysTray.h"
#include "UiFixture.h"

using namespace kestrow;
using namespace kestrow::test;

namespace {

// The application started as the program starts it, with `window` as its
// main window; the polling thread does not tick (the test wakes the
// window).  Going, it takes the window away (declare it after the window).
struct StartedApp {
    explicit StartedApp(IMainWindow &window)
    {
        theApp().SetPollTiming(std::chrono::hours(1), std::chrono::milliseconds(1000));
        (void)theApp().Startup();
        theApp().SetMainWindow(&window);
    }
    ~StartedApp()
    {
        theApp().SetMainWindow(nullptr);
        theApp().Shutdown();
    }
};

} // namespace

class TestWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CUiFixture> m_pFix;

private slots:
    void initTestCase() { SetApplicationIdentity(); }
    void init() { m_pFix = std::make_unique<CUiFixture>(); }
    void cleanup()
    {
        clsSysTray::OverrideAvailable(std::nullopt);
        m_pFix.reset();
    }

    // To the tray with the Available Networks dialog open or not, and
    // without a tray.
    void minimiseAndRestore()
    {
        for (const auto &[tray, siteVisible] : {std::pair{true, true}, {true, false}, {false, false}}) {
            clsSysTray::OverrideAvailable(tray);
            CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
            // Notes at the window's first paint whether the icon was already in.
            struct FirstPaint : QObject {
                clsSysTray *icon = nullptr;
                int trayWasIn = -1;
                bool eventFilter(QObject *, QEvent *event) override
                {
                    if (event->type() == QEvent::Paint && trayWasIn < 0)
                        trayWasIn = icon->IsAdded() ? 1 : 0;
                    return false;
                }
            } probe;
            probe.icon = &dlg.Tray();
            dlg.installEventFilter(&probe);
            dlg.OnInitDialog();
            dlg.show();
            // The icon waits for the window's first paint.
            QTRY_COMPARE(probe.trayWasIn, 0);
            QTRY_COMPARE(dlg.Tray().IsAdded(), tray);
            if (siteVisible)
                dlg.OnViewSite();
            dlg.showMinimized();
            if (!tray) {  // minimised as any window
                QCoreApplication::processEvents();
                QVERIFY(dlg.isVisible() && dlg.isMinimized());
                continue;
            }
            QTRY_VERIFY(!dlg.isVisible());
            QVERIFY(!dlg.ViewSite().isVisible());
            dlg.Tray().OnActivated(QSystemTrayIcon::Trigger);  // a single click does nothing
            QVERIFY(!dlg.isVisible());
            dlg.Tray().OnActivated(QSystemTrayIcon::DoubleClick);
            QVERIFY(dlg.isVisible() && !dlg.isMinimized());
            QCOMPARE(dlg.ViewSite().isVisible(), siteVisible);
        }
    }

    void sheetButtonsIconsAndSiteCommands()
    {
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        dlg.OnInitDialog();
        // A display name would be appended to every caption by the window
        // system ("Available Networks — ...").
        QCOMPARE(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
        QCOMPARE(dlg.Sheet()->count(), 4);
        // Set after set-up, for a window not shown; smaller sizes are scaled
        // from the largest.
        QTRY_COMPARE(dlg.windowIcon().pixmap(48, 48).width(), 48);
        QCOMPARE(CKestrowDlg::TrayIcon().pixmap(48, 48).width(), 48);
        // The value texts become selectable then too, on the pages built
        // later as well; a traffic counter's never does.
        const auto selectable = [&](int id) {
            const auto *label = qobject_cast<QLabel *>(CQtControlParent(&dlg).Control(id));
            return label != nullptr && (label->textInteractionFlags() & Qt::TextSelectableByMouse) != 0;
        };
        QTRY_VERIFY(selectable(CMainGen::IDC_SSID) && selectable(CMainAbout::IDC_DEVICE_NAME));
        QVERIFY(!selectable(CMainGen::IDC_RECEIVED));
        // View Site shows the Available Networks dialog, whose menu's
        // commands go through the main window; Close hides it.
        qobject_cast<QPushButton *>(CQtControlParent(&dlg).Control(CKestrowDlg::IDC_VIEW_SITE))->click();
        QVERIFY(!dlg.OnCommand(CKestrowDlg::IDC_PREFERENCES));
        theApp().SetAdapterState(AdapterState::Present);  // else Rescan says there is none
        QVERIFY(dlg.OnCommand(CViewSite::ID_SITE_RESCAN));
        QVERIFY(dlg.ViewSite().Progress()->isVisible());
        qobject_cast<QPushButton *>(CQtControlParent(&dlg.ViewSite()).Control(CViewSite::IDC_CLOSE))->click();
        QVERIFY(!dlg.ViewSite().isVisible());
    }

    void startsWithoutAdapterQuietly()
    {
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        StartedApp app(dlg);
        dlg.OnInitDialog();
        dlg.show();
        QTRY_COMPARE(dlg.GenPage().AdapterLine()->text(), QStringLiteral("No wireless adapter found"));
        // What each page shows without a link is the pages' test's.
        QVERIFY(m_pFix->TakeMessages().empty());
    }

    // A refresh waits on an adapter that takes a minute per answer: the
    // window switches pages all the same, showing what it has, and the
    // switch's own request follows the slow one instead of piling up.
    void tabSwitchIsHandledWhileARequestHangs()
    {
        QVERIFY(m_pFix->Start());
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        StartedApp app(dlg);
        dlg.OnInitDialog();
        dlg.show();
        dlg.SetActivePage(CKestrowDlg::PAGE_ABOUT);
        QTRY_COMPARE(dlg.AboutPage().Controls().ItemText(CMainAbout::IDC_MAC),
                     QStringLiteral("00-0E-2E-4C-19-7A"));
        dlg.SetActivePage(CKestrowDlg::PAGE_GENERAL);
        QTRY_VERIFY(!theApp().RefreshQueued() && !theApp().MainLockHeld());

        QVERIFY(m_pFix->sim.Ctl("latency 60000"));
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

        m_pFix->sim.Stop();  // every request fails at once from here on
        QTRY_VERIFY_WITH_TIMEOUT(dlg.RefreshCount() >= rendered + 2, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!theApp().RefreshQueued(), 30000);
    }

    // Set from another thread, through the window.
    void tooltipIsCutAt127()
    {
        const std::string longTip = "Configuration Utility\nConnected to:\n" + std::string(200, 'x');
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        std::thread poller([&] { dlg.SetTrayTip(longTip); });
        poller.join();
        QTRY_COMPARE(dlg.Tray().GetTip(), QString::fromStdString(longTip).left(127));
    }

    void trayIconAndPlotFollowTheLink()
    {
        // A refresh's link sets the tray's state; its history fills the plot.
        CKestrowDlg dlg(QStringLiteral("Configuration Utility"));
        dlg.OnInitDialog();
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

    // A killed copy left its socket file: the next copy claims the socket
    // all the same, and a second one started beside it restores its window
    // and ends.
    void secondCopyRestoresTheFirstAndEnds()
    {
        const QString registry = QString::fromStdString(m_pFix->RegistryPath());
        const QString path = CSingleInstance::DefaultSocketPath(registry);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, QFile::encodeName(path).constData(), sizeof addr.sun_path - 1);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
        ::close(fd);
        CSingleInstance first(path);
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
        second.start(QStringLiteral(KESTROW_TEST_KESTROW), {QStringLiteral("--registry"), registry});
        QVERIFY(finished.wait(60000));  // runs this copy's event loop meanwhile
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(dlg.isVisible() && !dlg.isMinimized());
    }

    // No adapter and a registry that cannot be opened: the pictures are
    // taken at once and the program ends, saying what it lacked.
    void screenshotsWithoutAdapterOrRegistry()
    {
        const std::string registry = m_pFix->dir.Write("garbage.sqlite3", std::string(4096, 'x'));
        const std::string shots = m_pFix->dir.File("shots");
        const ktest::RunResult run = ktest::Run({KESTROW_TEST_KESTROW, "--screenshots", shots, "--registry", registry},
                                                std::chrono::seconds(60));
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFileInfo::exists(QString::fromStdString(shots + "/profiles.png")));
        const std::string unreadable = "The registry " + registry + " cannot be opened: file is not a database.";
        for (const std::string &said : {std::string("no adapter found"), unreadable})
            QVERIFY2(run.err.find(said) != std::string::npos, run.err.c_str());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
