// The Preferences dialog's bindings: which controls show what, which are
// enabled, what Apply, OK, Cancel and Defaults pass on or show.  The values,
// ranges and what is written are tested with the core's preference
// operations.
#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include <memory>

#include "KestrowApp.h"
#include "Prefs.h"
#include "UiFixture.h"
#include "ViewSite.h"

using namespace kestrow;
using namespace kestrow::test;

class TestPrefs : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CUiFixture> m_pFix;

    template <class T> static T *Control(CPrefs &d, int id) { return qobject_cast<T *>(d.Controls().Control(id)); }
    static QLineEdit *Interval(CPrefs &d) { return Control<QLineEdit>(d, CPrefs::IDC_INTERVAL); }
    static bool Checked(CPrefs &d, int id) { return Control<QRadioButton>(d, id)->isChecked(); }

private slots:
    void init() { m_pFix = std::make_unique<CUiFixture>(); }
    void cleanup() { m_pFix.reset(); }

    void emptyRegistryEnabledStatesAndCountry()
    {
        CPrefs dlg;
        QVERIFY(Checked(dlg, CPrefs::IDC_PASSIVE) && !Checked(dlg, CPrefs::IDC_ACTIVE));
        // Without an adapter the country is the first one.
        QCOMPARE(dlg.Controls().ItemText(CPrefs::IDC_COUNTRY), QStringLiteral("FCC (USA)"));
        // The preferences the device does not take are shown disabled.
        for (int id : {CPrefs::IDC_ACTIVE, CPrefs::IDC_PASSIVE, CPrefs::IDC_SCAN_BAND,
                       CPrefs::IDC_POWER_SAVE, CPrefs::IDC_COUNTRY})
            QVERIFY(!dlg.Controls().Control(id)->isEnabled());
        // With an adapter the country comes from its regulatory domain.
        QVERIFY(m_pFix->Start(TwoNetworks("reg_domain = 0x31\n")));
        CPrefs withAdapter;
        QCOMPARE(withAdapter.Controls().ItemText(CPrefs::IDC_COUNTRY), QStringLiteral("Spain"));
    }

    void applyPassesTheControlsOnAndReportsARefusal()
    {
        CViewSite site;
        const int refreshes = site.RefreshCount();
        CPrefs dlg(nullptr, &site);
        dlg.show();
        Interval(dlg)->setText(QStringLiteral("101"));
        dlg.accept();
        QVERIFY(dlg.isVisible());
        QCOMPARE(m_pFix->TakeMessages(), std::vector<std::string>{"Please enter an integer between 5 and 100."});
        QCOMPARE(Interval(dlg)->selectedText(), QStringLiteral("101"));
        QCOMPARE(site.RefreshCount(), refreshes);

        Interval(dlg)->setText(QStringLiteral("7"));
        Control<QRadioButton>(dlg, CPrefs::IDC_DBM)->setChecked(true);
        QVERIFY(dlg.Apply());
        QCOMPARE(site.RefreshCount(), refreshes + 1);
        QCOMPARE(CPreferences::Read(theApp()), (CPrefValues{7, false, 0, 0, true}));
    }

    void storedValuesAndDefaultsGoIntoTheControls()
    {
        QVERIFY(CPreferences::Write(theApp(), {50, false, 2, 9, true}).Ok());
        CPrefs dlg;
        QCOMPARE(Interval(dlg)->text(), QStringLiteral("50"));
        QVERIFY(Checked(dlg, CPrefs::IDC_DBM));
        QCOMPARE(Control<QComboBox>(dlg, CPrefs::IDC_POWER_SAVE)->currentIndex(), 2);
        dlg.Defaults();
        QCOMPARE(Interval(dlg)->text(), QStringLiteral("20"));
        // "&Defaults" scans actively, unlike an absent value.
        QVERIFY(Checked(dlg, CPrefs::IDC_PERCENT) && Checked(dlg, CPrefs::IDC_ACTIVE));
        Interval(dlg)->setText(QStringLiteral("40"));
        dlg.reject();
        QCOMPARE(CPreferences::Read(theApp()).intervalSecs, 50);
    }
};

QTEST_MAIN(TestPrefs)
#include "tst_prefs.moc"
