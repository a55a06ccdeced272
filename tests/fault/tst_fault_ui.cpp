// The running program against a real simulator that fails under it: killed
// with SIGKILL while the polling thread polls and the pages refresh, and
// made slow.  The window is the real main window, offscreen; the polling
// thread is the real one with short ticks, waking this thread through a
// queued call as the program does.
#include <QtTest>

#include <QApplication>
#include <QMessageBox>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "AdapterSim.h"
#include "DeviceOps.h"
#include "KestrowApp.h"
#include "KestrowDlg.h"
#include "MainGen.h"
#include "ProfileMngr.h"
#include "RecordingMessageSink.h"
#include "RefreshWake.h"
#include "ScenarioBuilder.h"
#include "TempDir.h"
#include "platform/Registry.h"

using namespace kestrow;

namespace {

// The request timeout of the library in these tests: every wait on the
// adapter socket ends after it.
constexpr int kRequestTimeoutMs = 2000;

// Device calls made on the user-interface thread (there must be none: the
// window only renders), all device calls, and how many failed: a call
// starved behind another thread's requests would time out.
std::atomic<std::thread::id> g_uiThread{};
std::atomic<long long> g_uiCalls{0};
std::atomic<long long> g_calls{0};
std::atomic<long long> g_failedCalls{0};

int CountedExec(void *record)
{
    const int rc = DefaultDeviceOps().exec_oid(record);
    if (std::this_thread::get_id() == g_uiThread.load())
        g_uiCalls.fetch_add(1);
    g_calls.fetch_add(1);
    g_failedCalls.fetch_add(rc != 0 ? 1 : 0);
    return rc;
}
const DeviceOps kCountedOps{[](const char *n) { return DefaultDeviceOps().connect(n); },
                            [] { return DefaultDeviceOps().disconnect(); }, CountedExec};

bool AnyMessageBox()
{
    const auto widgets = QApplication::topLevelWidgets();
    return std::any_of(widgets.begin(), widgets.end(),
                       [](QWidget *w) { return qobject_cast<QMessageBox *>(w) != nullptr; });
}

} // namespace

class TestFaultUi : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ktest::TempDir> m_pDir;
    std::unique_ptr<ktest::AdapterSim> m_pSim;
    std::unique_ptr<CKestrowDlg> m_pDlg;
    std::unique_ptr<CRefreshWake> m_pWake;
    std::unique_ptr<ktest::RecordingMessageSink> m_pSink;
    // Page refreshes (full or not) since the window was set up.
    int m_nPageUpdates = 0;

    // Starts the program with an auto-selected profile of the open network
    // in the registry: the polling thread connects it by itself.
    void StartProgram()
    {
        {
            CProfileMngr store;
            CProfile source;
            source.NetName = "KestrowNet";
            source.NetMode = true;
            source.PhyType = 2;
            source.PhyChnl = CProfile::ChannelIndex(2, 6);
            CProfile *record = store.Get(store.AddNew(&source));
            QVERIFY(record != nullptr);
            record->AutoSelect = true;
            record->Priority = store.UpdatePriorities(-1);
            QVERIFY(store.SaveAll());
        }
        CKestrowApp &app = theApp();
        m_pWake = std::make_unique<CRefreshWake>(app);
        app.SetPollTiming(std::chrono::milliseconds(0), std::chrono::milliseconds(25));
        QVERIFY(app.Startup());
        m_pDlg = std::make_unique<CKestrowDlg>(QStringLiteral("Configuration Utility"));
        m_nPageUpdates = 0;
        connect(m_pDlg.get(), &CKestrowDlg::PagesUpdated, this, [this] { ++m_nPageUpdates; });
        app.SetMainWindow(m_pDlg.get());
        m_pDlg->OnInitDialog();
        m_pDlg->show();
    }

    QString Ssid() { return m_pDlg->GenPage().Controls().ItemText(CMainGen::IDC_SSID); }
    QString Channel() { return m_pDlg->GenPage().Controls().ItemText(CMainGen::IDC_CHANNEL); }

    // No message box was shown, through the core's sink or otherwise.
    void NoMessages()
    {
        const std::vector<std::string> texts = m_pSink->Texts();
        QVERIFY2(texts.empty(), texts.empty() ? "" : texts.front().c_str());
        QVERIFY(!AnyMessageBox());
    }

private slots:
    void initTestCase()
    {
        g_uiThread.store(std::this_thread::get_id());
        QVERIFY(::setenv("LUNMARK_REQUEST_TIMEOUT_MS", std::to_string(kRequestTimeoutMs).c_str(), 1) == 0);
        QVERIFY(::setenv("LUNMARK_DATA_DIR", FAULT_LUNMARK_DATA, 1) == 0);
    }

    void init()
    {
        m_pDir = std::make_unique<ktest::TempDir>();
        QCOMPARE(platform::Registry::set_current_user_path(m_pDir->File("registry.sqlite3")), 0u);
        ResetTheApp();
        InstallDeviceOps(&kCountedOps);
        m_pSim = std::make_unique<ktest::AdapterSim>();
        m_pSim->ExportEnvironment();
        std::string error;
        QVERIFY2(m_pSim->Start(ktest::ScenarioBuilder::OneOpenNetwork(), &error), error.c_str());
        m_pSink = std::make_unique<ktest::RecordingMessageSink>();
    }

    void cleanup()
    {
        CKestrowApp &app = theApp();
        app.SetMainWindow(nullptr);
        m_pWake.reset();
        app.Shutdown();
        m_pDlg.reset();
        // Queued wake-ups of the ended program do nothing now.
        QCoreApplication::processEvents();
        InstallDeviceOps(nullptr);
        ResetTheApp();
        m_pSink.reset();
        m_pSim.reset();
        m_pDir.reset();
    }

    void simulatorKilledAndRestarted()
    {
        StartProgram();
        QTRY_COMPARE_WITH_TIMEOUT(Ssid(), QStringLiteral("KestrowNet"), 60000);

        // Killed outright while the polling thread polls and the page refreshes.
        m_pSim->KillHard();
        QTRY_COMPARE_WITH_TIMEOUT(Ssid(), QStringLiteral("Not Connected"), 60000);
        // A few more refreshes against the dead socket change nothing.  (The
        // polling thread asks for no full refresh while its reads fail; the
        // page still refreshes on every tick.)
        const int updates = m_nPageUpdates;
        QTRY_VERIFY_WITH_TIMEOUT(m_nPageUpdates >= updates + 3, 60000);
        QCOMPARE(Ssid(), QStringLiteral("Not Connected"));
        NoMessages();

        // Back on the same directory (its stale socket file is replaced):
        // the next requests reopen the adapter by themselves, auto-selection
        // joins the network again and the values return.
        std::string error;
        QVERIFY2(m_pSim->Restart(&error), error.c_str());
        QTRY_COMPARE_WITH_TIMEOUT(Ssid(), QStringLiteral("KestrowNet"), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(Channel(), QStringLiteral("6 / 2.437 GHz - 802.11g"), 60000);
        NoMessages();
    }

    void slowDriverKeepsTheWindowResponsive()
    {
        StartProgram();
        QTRY_COMPARE_WITH_TIMEOUT(Ssid(), QStringLiteral("KestrowNet"), 60000);
        QVERIFY(m_pSim->Ctl("latency 100"));
        for (std::atomic<long long> *count : {&g_uiCalls, &g_calls, &g_failedCalls})
            count->store(0);

        // Refreshes of the General page, then of the Statistics page, each
        // request now a tenth of a second, while the polling thread sends
        // its own: every call is served, none times out, and none is made
        // on this thread.
        const int updates = m_nPageUpdates;
        QTRY_VERIFY_WITH_TIMEOUT(m_nPageUpdates >= updates + 4, 100000);
        m_pDlg->SetActivePage(CKestrowDlg::PAGE_STATS);
        QTRY_VERIFY_WITH_TIMEOUT(m_nPageUpdates >= updates + 6, 100000);
        m_pDlg->SetActivePage(CKestrowDlg::PAGE_GENERAL);
        QVERIFY(m_pSim->Ctl("latency 0"));
        QCOMPARE(g_uiCalls.load(), 0LL);
        QVERIFY(g_calls.load() > 0);
        QCOMPARE(g_failedCalls.load(), 0LL);
        QTRY_COMPARE_WITH_TIMEOUT(Ssid(), QStringLiteral("KestrowNet"), 60000);
        NoMessages();
    }
};

QTEST_MAIN(TestFaultUi)
#include "tst_fault_ui.moc"
