// The status pages against a real adapter-sim: General, CurrentStatistics
// and About, connected, not connected and without any adapter, with the
// values read through the core's status reader as the refresh worker does.
#include <QLabel>
#include <QtTest>

#include <memory>

#include "KestrowApp.h"
#include "MainAbout.h"
#include "MainGen.h"
#include "MainStats.h"
#include "ProfileMngr.h"
#include "Station.h"
#include "StationMngr.h"
#include "StatusReader.h"
#include "UiFixture.h"

using namespace kestrow;
using namespace kestrow::test;

namespace {

using G = CMainGen;
using S = CMainStats;
using A = CMainAbout;
using Shown = std::vector<std::pair<int, const char *>>;
// Fails naming the controls of `expected` that show another text.
void Expect(CQtControlParent &c, const Shown &expected)
{
    QString wrong;
    for (const auto &[id, text] : expected)
        if (c.ItemText(id) != QLatin1String(text))
            wrong += QStringLiteral("%1 '%2' ").arg(id).arg(c.ItemText(id));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

} // namespace

class TestPages : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CUiFixture> m_pFix;
    CStatusSnapshot m_Status;  // shared by the refreshes, as in the window

    // Starts the simulator and the managers and connects the adapter to
    // `ssid` through a profile named "Office", as the Profiles page would.
    void ConnectTo(const char *ssid, int phyType, int channel, int dBm)
    {
        CKestrowApp &app = theApp();
        QVERIFY(m_pFix->Start());
        app.SetProfileMngr(std::make_unique<CProfileMngr>());
        app.SetStationMngr(std::make_unique<CStationMngr>(app, Store()));
        CProfile profile;
        profile.NetName = ssid;
        profile.NetMode = true;
        profile.PhyType = phyType;
        profile.PhyChnl = CProfile::ChannelIndex(phyType, channel);
        auto station = std::make_unique<CStation>(profile, nullptr, dBm);
        QVERIFY(station->Apply(CStation::Connect));
        Store().Rename(Store().AddNew(&profile), "Office");
        Store().SetCurrent(Store().Get("Office"), false);
        app.StationMngr()->SetConnected(station.get());
        app.StationMngr()->AddStation(std::move(station));
    }
    // Reads and shows both pages as a refresh of the window does.
    void Refresh(CMainGen &general, CMainStats &stats)
    {
        theApp().StatusReader().ReadGeneral(m_Status);
        general.Show(m_Status, theApp().AdapterState());
        if (theApp().StatusReader().ReadStatistics(m_Status))
            stats.Show(m_Status);
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
        m_pFix = std::make_unique<CUiFixture>();
    }
    void cleanup() { m_pFix.reset(); }

    // Connected, then the link drops: the values go, "Not Connected" and
    // "N/A" come, and the throughput stays.
    void generalAndStatisticsFollowTheLink()
    {
        ConnectTo("KestrowNet", 2, 6, -61);
        theApp().SetThroughput(12, 3);
        CMainGen general;
        CMainStats stats;
        general.OnSetActive();  // nothing read yet
        const Shown notConnected{{G::IDC_SSID, "Not Connected"}, {1064, ""}, {1065, ""}, {1066, ""}, {1067, ""},
                                 {1069, ""}, {1070, ""}, {1071, ""}, {1074, ""}, {1072, ""}};
        Expect(general.Controls(), notConnected);
        Refresh(general, stats);
        Expect(general.Controls(), {{G::IDC_SSID, "KestrowNet"}, {G::IDC_NET_MODE, "Infrastructure"},
                                    {G::IDC_CHANNEL, "6 / 2.437 GHz - 802.11g"}, {G::IDC_MAX_RATE, "54 Mbps"},
                                    {G::IDC_SECURITY, "Disabled"}, {G::IDC_PROFILE, "Office"},
                                    {G::IDC_LINK_QUALITY, "99%"}});
        // Counters and rates vary: only their form is fixed.
        const QRegularExpression number(QStringLiteral("^\\d+$"));
        QVERIFY(general.Controls().ItemText(G::IDC_RECEIVED).contains(number));
        QVERIFY(general.Controls().ItemText(G::IDC_SENT).contains(number));
        QVERIFY(general.Controls().ItemText(G::IDC_NET_RATE).endsWith(QLatin1String(" Mbps")));
        QVERIFY(stats.Controls().ItemText(S::IDC_SNR).endsWith(QLatin1String(" dB")));
        const Shown throughput{{S::IDC_RECEIVING, "12 KB/sec"}, {S::IDC_SENDING, "3 KB/sec"}};
        Expect(stats.Controls(), throughput);
        Expect(stats.Controls(), {{S::IDC_SIGNAL, "99%"}, {S::IDC_MAX_RATE, "54 Mbps"}});

        QVERIFY(m_pFix->sim.Ctl("drop-link"));
        theApp().SetThroughput(0, theApp().TxKBps());
        Refresh(general, stats);
        Expect(general.Controls(), notConnected);
        Expect(stats.Controls(), throughput);
        Expect(stats.Controls(), {{S::IDC_SIGNAL, "N/A"}, {S::IDC_SNR, ""}, {S::IDC_MAX_RATE, ""}});
    }

    // An 802.11b link whose adapter does not tell the rate: the station's
    // own is shown; a refused reset of the counters says so.
    void rateFallbackAndAFailedReset()
    {
        ConnectTo("LegacyB", 1, 11, -75);
        QVERIFY(m_pFix->sim.Ctl("refuse 0x540"));
        CMainGen general;
        CMainStats stats;
        Refresh(general, stats);
        Expect(general.Controls(), {{G::IDC_CHANNEL, "11 / 2.462 GHz - 802.11b"}, {G::IDC_NET_RATE, "11 Mbps"}});
        Expect(stats.Controls(), {{S::IDC_MAX_RATE, "11 Mbps"}, {S::IDC_SIGNAL, "53%"}});
        stats.OnReset();  // the simulator accepts it
        QVERIFY(m_pFix->TakeMessages().empty());
        QVERIFY(m_pFix->sim.Ctl("refuse 0x380"));
        stats.OnReset();
        const auto messages = m_pFix->TakeMessages();
        QVERIFY(messages.size() == 1 && messages[0].starts_with("An error occured connecting to the driver."));
    }

    // The adapter is found, goes away and comes back: the page says so
    // beside its values.
    void aboutFollowsTheAdapter()
    {
        QVERIFY(m_pFix->Start(TwoNetworks("reg_domain = 0x31\nfirmware = 0x00020001 0x0000000A\n"
                                          "driver_version = 2.1.0.17\nmac = 00:0e:2e:4c:19:7a\n")));
        CMainAbout page;
        Refresh(page);
        Expect(page.Controls(), {{A::IDC_DEVICE_NAME, "802.11g Wireless Adapter"}, {A::IDC_REG_DOMAIN, "SPAIN"}, {A::IDC_FIRMWARE_VERSION, "0002 - 0001 / 0000 - 000A"},
                                 {A::IDC_DRIVER_VERSION, "2.1.0.17"}, {A::IDC_MAC, "00-0E-2E-4C-19-7A"}});
        QVERIFY(!page.Controls().ItemText(A::IDC_NVM_VERSION).isEmpty());
        QVERIFY(page.AdapterLine()->isHidden());

        theApp().DisconnectDriver();
        m_pFix->sim.Stop();
        m_Status = CStatusSnapshot();
        CMainAbout fresh;  // a page filled before keeps its values
        Refresh(fresh);
        QCOMPARE(fresh.AdapterLine()->text(), QStringLiteral("The wireless adapter was removed"));
        Expect(fresh.Controls(), {{A::IDC_DRIVER_VERSION, "Not Connected"}, {A::IDC_FIRMWARE_VERSION, ""},
                                  {A::IDC_REG_DOMAIN, ""}});
        QVERIFY(m_pFix->TakeMessages().empty());

        QVERIFY(m_pFix->sim.Restart());
        Refresh(fresh);
        QCOMPARE(fresh.AdapterLine()->text(), QStringLiteral("The wireless adapter is back"));
        QCOMPARE(fresh.Controls().ItemText(A::IDC_REG_DOMAIN), QStringLiteral("SPAIN"));
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
