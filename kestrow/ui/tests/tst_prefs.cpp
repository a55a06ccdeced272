// The Preferences dialog: what it shows, what Apply, OK, Cancel and Defaults
// store, and the country read from the adapter.
#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include <memory>

#include "KestrowApp.h"
#include "Poll.h"
#include "Prefs.h"
#include "SimAdapter.h"
#include "ViewSite.h"
#include "platform/Registry.h"

using namespace kestrow;
using namespace kestrow::test;

class TestPrefs : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CSimAdapter> m_pSim;

    static QLineEdit *Interval(CPrefs &d)
    {
        return qobject_cast<QLineEdit *>(d.Controls().Control(CPrefs::IDC_INTERVAL));
    }
    static bool Checked(CPrefs &d, int id)
    {
        auto *radio = qobject_cast<QRadioButton *>(d.Controls().Control(id));
        return radio != nullptr && radio->isChecked();
    }
    // A value of the application key, or -1 when it is absent.
    static long long Stored(const char *name)
    {
        std::uint32_t value = 0;
        const std::uint32_t rc = platform::Registry::current_user()->query_dword(
            CKestrowApp::AppKeyPath(), name, &value);
        return rc == 0 ? static_cast<long long>(value) : -1;
    }

private slots:
    void init() { m_pSim = std::make_unique<CSimAdapter>(); }
    void cleanup() { m_pSim.reset(); }

    void emptyRegistryShowsTheDefaults()
    {
        CPrefs dlg;
        QCOMPARE(Interval(dlg)->text(), QStringLiteral("20"));
        QVERIFY(Checked(dlg, CPrefs::IDC_PERCENT));
        QVERIFY(!Checked(dlg, CPrefs::IDC_DBM));
        QVERIFY(Checked(dlg, CPrefs::IDC_PASSIVE));
        QVERIFY(!Checked(dlg, CPrefs::IDC_ACTIVE));
        // Without an adapter the country is the first one.
        QCOMPARE(dlg.Controls().ItemText(CPrefs::IDC_COUNTRY), QStringLiteral("FCC (USA)"));
        // The preferences the device does not take are shown disabled.
        for (int id : {CPrefs::IDC_ACTIVE, CPrefs::IDC_PASSIVE, CPrefs::IDC_SCAN_BAND,
                       CPrefs::IDC_POWER_SAVE, CPrefs::IDC_COUNTRY}) {
            QVERIFY(!dlg.Controls().Control(id)->isEnabled());
        }
        QVERIFY(dlg.Controls().Control(CPrefs::IDC_INTERVAL)->isEnabled());
    }

    void intervalIsValidated_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<long long>("stored");  // -1: refused
        QTest::newRow("4") << QStringLiteral("4") << -1LL;
        QTest::newRow("101") << QStringLiteral("101") << -1LL;
        QTest::newRow("empty") << QString() << -1LL;
        QTest::newRow("text") << QStringLiteral("ab") << -1LL;
        QTest::newRow("5") << QStringLiteral("5") << 5000LL;
        QTest::newRow("100") << QStringLiteral("100") << 100000LL;
    }
    void intervalIsValidated()
    {
        QFETCH(QString, text);
        QFETCH(long long, stored);
        CRecordingSink messages;
        theApp().SetPoll(std::make_unique<CPoll>(theApp()));
        CPoll &poll = *theApp().Poll();
        CViewSite site;
        const int refreshes = site.RefreshCount();
        CPrefs dlg(nullptr, &site);
        Interval(dlg)->setText(text);
        const bool applied = dlg.Apply();
        QCOMPARE(applied, stored >= 0);
        QCOMPARE(Stored("Polling Interval"), stored);
        if (stored < 0) {
            QCOMPARE(messages.Messages.size(), std::size_t{1});
            QCOMPARE(QString::fromStdString(messages.Messages[0]),
                     QStringLiteral("Please enter an integer between 5 and 100."));
            QCOMPARE(site.RefreshCount(), refreshes);
        } else {
            QVERIFY(messages.Messages.empty());
            QCOMPARE(poll.GetInterval(), static_cast<int>(stored / 1000));
            QCOMPARE(site.RefreshCount(), refreshes + 1);
            QCOMPARE(Stored("dBm-Percent"), 0LL);
            QCOMPARE(Stored("Active"), 0LL);
        }
    }

    void okStoresAndInvalidOkStaysOpen()
    {
        CRecordingSink messages;
        CPrefs dlg;
        dlg.show();
        Interval(dlg)->setText(QStringLiteral("101"));
        dlg.accept();
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), 0);
        Interval(dlg)->setText(QStringLiteral("7"));
        qobject_cast<QRadioButton *>(dlg.Controls().Control(CPrefs::IDC_DBM))->setChecked(true);
        dlg.accept();
        QVERIFY(!dlg.isVisible());
        QCOMPARE(Stored("Polling Interval"), 7000LL);
        QCOMPARE(Stored("dBm-Percent"), 1LL);
    }

    void applyThenCancelKeepsWhatApplyStored()
    {
        CPrefs dlg;
        Interval(dlg)->setText(QStringLiteral("30"));
        QVERIFY(dlg.Apply());
        Interval(dlg)->setText(QStringLiteral("40"));
        dlg.reject();
        QCOMPARE(Stored("Polling Interval"), 30000LL);
    }

    void defaultsThenCancelLeavesTheRegistry()
    {
        CKestrowApp &app = theApp();
        QVERIFY(app.WriteProfileInt("", "Polling Interval", 50000));
        QVERIFY(app.WriteProfileInt("", "dBm-Percent", 1));
        QVERIFY(app.WriteProfileInt("", "Active", 0));
        CPrefs dlg;
        QCOMPARE(Interval(dlg)->text(), QStringLiteral("50"));
        QVERIFY(Checked(dlg, CPrefs::IDC_DBM));
        dlg.Defaults();
        QCOMPARE(Interval(dlg)->text(), QStringLiteral("20"));
        QVERIFY(Checked(dlg, CPrefs::IDC_PERCENT));
        QVERIFY(Checked(dlg, CPrefs::IDC_ACTIVE));
        dlg.reject();
        QCOMPARE(Stored("Polling Interval"), 50000LL);
        QCOMPARE(Stored("dBm-Percent"), 1LL);
        QCOMPARE(Stored("Active"), 0LL);
        QCOMPARE(Stored("Power-Save"), -1LL);
    }

    void countryComesFromTheRegulatoryDomain()
    {
        QVERIFY(m_pSim->Start(DefaultScenario(QStringLiteral("reg_domain = 0x31\n"))));
        CPrefs dlg;
        QCOMPARE(dlg.Controls().ItemText(CPrefs::IDC_COUNTRY), QStringLiteral("Spain"));
        QCOMPARE(CPrefs::CountryIndex(0x40), 5);
        QCOMPARE(CPrefs::CountryIndex(0x99), 0);
    }
};

QTEST_MAIN(TestPrefs)
#include "tst_prefs.moc"
