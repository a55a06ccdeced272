// The status pages against a real adapter-sim: General, CurrentStatistics
// and About, connected, not connected and without any adapter.
#include <QLabel>
#include <QtTest>

#include <cstring>
#include <memory>
#include <set>

#include "DeviceOps.h"
#include "KestrowApp.h"
#include "MainAbout.h"
#include "MainGen.h"
#include "MainStats.h"
#include "ProfileMngr.h"
#include "SimAdapter.h"
#include "Station.h"
#include "StationMngr.h"
#include "StatusReader.h"

using namespace kestrow;
using namespace kestrow::test;

namespace {

// Passes requests to the library but refuses the command codes listed.
std::set<std::int32_t> g_refused;
int FilteredExec(void *record)
{
    std::int32_t code = 0;
    std::memcpy(&code, record, sizeof code);
    return g_refused.count(code) != 0 ? 21 : DefaultDeviceOps().exec_oid(record);
}
const DeviceOps kFilteredOps{[](const char *n) { return DefaultDeviceOps().connect(n); },
                             [] { return DefaultDeviceOps().disconnect(); }, FilteredExec};

} // namespace

class TestPages : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CSimAdapter> m_pSim;

    // Starts the managers and connects the adapter to `ssid` through a
    // profile named "Office", as the Profiles page would.
    void ConnectTo(const char *ssid, int phyType, int channel, int dBm)
    {
        CKestrowApp &app = theApp();
        QVERIFY(app.ConnectDriver());
        app.SetProfileMngr(std::make_unique<CProfileMngr>());
        app.SetStationMngr(std::make_unique<CStationMngr>(app, *app.ProfileMngr()));
        CProfile profile;
        profile.ProfName = "Office";
        profile.NetName = ssid;
        profile.NetMode = true;
        profile.PhyType = phyType;
        profile.PhyChnl = CProfile::ChannelIndex(phyType, channel);
        auto station = std::make_unique<CStation>(profile, nullptr, dBm);
        QVERIFY(station->Apply(CStation::Connect));
        const std::string name = app.ProfileMngr()->AddNew(&profile);
        CProfile *stored = app.ProfileMngr()->Get(name);
        QVERIFY(stored != nullptr);
        stored->ProfName = "Office";
        app.ProfileMngr()->SetCurrent(stored, false);
        app.StationMngr()->SetConnected(station.get());
        app.StationMngr()->AddStation(std::move(station));
        QVERIFY(app.StationMngr()->IsConnected());
    }

    static QString Text(CQtControlParent &c, int id) { return c.ItemText(id); }

    // What a main timer routine puts on each page: the values read through
    // the core into the snapshot the refreshes share, then rendered.
    CStatusSnapshot m_Status;
    void Refresh(CMainGen &page)
    {
        theApp().StatusReader().ReadGeneral(m_Status);
        page.Show(m_Status, theApp().AdapterState());
    }
    void Refresh(CMainStats &page)
    {
        if (theApp().StatusReader().ReadStatistics(m_Status)) {
            page.Show(m_Status);
        }
    }
    void Refresh(CMainAbout &page)
    {
        theApp().StatusReader().ReadAbout(m_Status);
        page.Show(m_Status, theApp().AdapterState());
    }

private slots:
    void init()
    {
        m_Status = CStatusSnapshot();
        g_refused.clear();
        InstallDeviceOps(nullptr);
        m_pSim = std::make_unique<CSimAdapter>();
    }

    void cleanup()
    {
        CKestrowApp &app = theApp();
        app.SetStationMngr(nullptr);
        app.SetProfileMngr(nullptr);
        InstallDeviceOps(nullptr);
        m_pSim.reset();
    }

    void generalShowsNotConnectedUntilRefreshedAndWhenDisconnected()
    {
        QVERIFY(m_pSim->Start(DefaultScenario()));
        ConnectTo("KestrowNet", 2, 6, -61);
        CMainGen page;
        page.OnSetActive();  // nothing read yet
        CQtControlParent &c = page.Controls();
        QCOMPARE(Text(c, CMainGen::IDC_SSID), QStringLiteral("Not Connected"));
        const int others[] = {1064, 1065, 1066, 1067, 1069, 1070, 1071, 1074, 1072};
        for (int id : others) {
            QVERIFY2(Text(c, id).isEmpty(), qPrintable(QString::number(id)));
        }

        Refresh(page);
        QCOMPARE(Text(c, CMainGen::IDC_SSID), QStringLiteral("KestrowNet"));

        // The link drops: the next refresh blanks everything again.
        QVERIFY(m_pSim->Control(QStringLiteral("drop-link")));
        Refresh(page);
        QCOMPARE(Text(c, CMainGen::IDC_SSID), QStringLiteral("Not Connected"));
        for (int id : others) {
            QVERIFY2(Text(c, id).isEmpty(), qPrintable(QString::number(id)));
        }
    }

    void generalShowsTheConnection()
    {
        QVERIFY(m_pSim->Start(DefaultScenario()));
        ConnectTo("KestrowNet", 2, 6, -61);
        CMainGen page;
        Refresh(page);
        CQtControlParent &c = page.Controls();
        QCOMPARE(Text(c, CMainGen::IDC_SSID), QStringLiteral("KestrowNet"));
        QCOMPARE(Text(c, CMainGen::IDC_NET_MODE), QStringLiteral("Infrastructure"));
        QCOMPARE(Text(c, CMainGen::IDC_CHANNEL), QStringLiteral("6 / 2.437 GHz - 802.11g"));
        QCOMPARE(Text(c, CMainGen::IDC_MAX_RATE), QStringLiteral("54 Mbps"));
        QCOMPARE(Text(c, CMainGen::IDC_SECURITY), QStringLiteral("Disabled"));
        QCOMPARE(Text(c, CMainGen::IDC_PROFILE), QStringLiteral("Office"));
        QCOMPARE(Text(c, CMainGen::IDC_LINK_QUALITY), QStringLiteral("99%"));
        bool number = false;
        Text(c, CMainGen::IDC_RECEIVED).toUInt(&number);
        QVERIFY(number);
        Text(c, CMainGen::IDC_SENT).toUInt(&number);
        QVERIFY(number);
        QVERIFY(Text(c, CMainGen::IDC_NET_RATE).endsWith(QLatin1String(" Mbps")));
    }

    void generalFallsBackToThePhyRate()
    {
        QVERIFY(m_pSim->Start(DefaultScenario()));
        g_refused = {0x540};
        InstallDeviceOps(&kFilteredOps);
        ConnectTo("LegacyB", 1, 11, -75);
        CMainGen page;
        Refresh(page);
        QCOMPARE(Text(page.Controls(), CMainGen::IDC_SSID), QStringLiteral("LegacyB"));
        QCOMPARE(Text(page.Controls(), CMainGen::IDC_CHANNEL), QStringLiteral("11 / 2.462 GHz - 802.11b"));
        QCOMPARE(Text(page.Controls(), CMainGen::IDC_NET_RATE), QStringLiteral("11 Mbps"));
    }

    void statisticsPage()
    {
        QVERIFY(m_pSim->Start(DefaultScenario()));
        ConnectTo("KestrowNet", 2, 6, -61);
        theApp().SetThroughput(12, 3);
        CMainStats page;
        Refresh(page);
        CQtControlParent &c = page.Controls();
        QCOMPARE(Text(c, CMainStats::IDC_SIGNAL), QStringLiteral("99%"));
        QCOMPARE(Text(c, CMainStats::IDC_MAX_RATE), QStringLiteral("54 Mbps"));
        QVERIFY(Text(c, CMainStats::IDC_SNR).endsWith(QLatin1String(" dB")));
        QCOMPARE(Text(c, CMainStats::IDC_RECEIVING), QStringLiteral("12 KB/sec"));
        QCOMPARE(Text(c, CMainStats::IDC_SENDING), QStringLiteral("3 KB/sec"));

        // Disconnected: "N/A", empty SNR and rate, the throughput kept.
        QVERIFY(m_pSim->Control(QStringLiteral("drop-link")));
        theApp().SetThroughput(0, theApp().TxKBps());
        Refresh(page);
        QCOMPARE(Text(c, CMainStats::IDC_SIGNAL), QStringLiteral("N/A"));
        QVERIFY(Text(c, CMainStats::IDC_SNR).isEmpty());
        QVERIFY(Text(c, CMainStats::IDC_MAX_RATE).isEmpty());
        QCOMPARE(Text(c, CMainStats::IDC_RECEIVING), QStringLiteral("12 KB/sec"));
        QCOMPARE(Text(c, CMainStats::IDC_SENDING), QStringLiteral("3 KB/sec"));
    }

    void statisticsRateOf80211bAndFailedReset()
    {
        QVERIFY(m_pSim->Start(DefaultScenario()));
        ConnectTo("LegacyB", 1, 11, -75);
        CRecordingSink messages;
        CMainStats page;
        Refresh(page);
        QCOMPARE(Text(page.Controls(), CMainStats::IDC_MAX_RATE), QStringLiteral("11 Mbps"));
        QCOMPARE(Text(page.Controls(), CMainStats::IDC_SIGNAL), QStringLiteral("53%"));

        page.OnReset();  // the simulator accepts it
        QVERIFY(messages.Messages.empty());
        g_refused = {0x380};
        InstallDeviceOps(&kFilteredOps);
        page.OnReset();
        QCOMPARE(messages.Messages.size(), std::size_t{1});
        QVERIFY(messages.Messages[0].starts_with("An error occured connecting to the driver."));
    }

    void aboutPageShowsTheAdapter()
    {
        QVERIFY(m_pSim->Start(DefaultScenario(QStringLiteral("reg_domain = 0x31\n"
                                                             "firmware = 0x00020001 0x0000000A\n"
                                                             "driver_version = 2.1.0.17\n"
                                                             "mac = 00:0e:2e:4c:19:7a\n"))));
        CMainAbout page;
        Refresh(page);
        CQtControlParent &c = page.Controls();
        QCOMPARE(Text(c, CMainAbout::IDC_REG_DOMAIN), QStringLiteral("SPAIN"));
        QCOMPARE(Text(c, CMainAbout::IDC_FIRMWARE_VERSION), QStringLiteral("0002 - 0001 / 0000 - 000A"));
        QCOMPARE(Text(c, CMainAbout::IDC_DRIVER_VERSION), QStringLiteral("2.1.0.17"));
        QCOMPARE(Text(c, CMainAbout::IDC_MAC), QStringLiteral("00-0E-2E-4C-19-7A"));
        QVERIFY(!Text(c, CMainAbout::IDC_NVM_VERSION).isEmpty());
        QCOMPARE(Text(c, CMainAbout::IDC_DEVICE_NAME), QStringLiteral("802.11g Wireless Adapter"));
        QCOMPARE(Text(c, CMainAbout::IDC_VERSION), QStringLiteral("2.1.2 / 23 Feb 2004"));
    }

    // The adapter is found, goes away and comes back: the page says so
    // beside its values.
    void aboutPageUnknownDomainAndNoAdapter()
    {
        const QString scenario = DefaultScenario(QStringLiteral("reg_domain = 0\n"));
        {
            QVERIFY(m_pSim->Start(scenario));
            CMainAbout page;
            Refresh(page);
            QCOMPARE(Text(page.Controls(), CMainAbout::IDC_REG_DOMAIN), QStringLiteral("None"));
            QVERIFY(page.AdapterLine()->isHidden());
        }
        theApp().DisconnectDriver();
        m_pSim->Stop();
        m_Status = CStatusSnapshot();
        CRecordingSink messages;
        CMainAbout page;
        Refresh(page);
        QCOMPARE(page.AdapterLine()->text(), QStringLiteral("The wireless adapter was removed"));
        CQtControlParent &c = page.Controls();
        QCOMPARE(Text(c, CMainAbout::IDC_DRIVER_VERSION), QStringLiteral("Not Connected"));
        QVERIFY(Text(c, CMainAbout::IDC_FIRMWARE_VERSION).isEmpty());
        QVERIFY(Text(c, CMainAbout::IDC_REG_DOMAIN).isEmpty());
        QCOMPARE(Text(c, CMainAbout::IDC_DEVICE_NAME), QStringLiteral("802.11g Wireless Adapter"));
        QCOMPARE(Text(c, CMainAbout::IDC_VERSION), QStringLiteral("2.1.2 / 23 Feb 2004"));
        QVERIFY(messages.Messages.empty());

        QVERIFY(m_pSim->Start(scenario));
        Refresh(page);
        QCOMPARE(page.AdapterLine()->text(), QStringLiteral("The wireless adapter is back"));
        QCOMPARE(Text(c, CMainAbout::IDC_REG_DOMAIN), QStringLiteral("None"));
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
