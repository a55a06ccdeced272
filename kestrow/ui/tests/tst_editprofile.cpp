// The profile edit sheet: validation and renaming, the channel list by
// regulatory domain (against a real adapter-sim), the Security page's keys
// and the Advanced sheet.
#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>

#include <memory>
#include <tuple>

#include "EditProfile.h"
#include "EditProfileAdv.h"
#include "KestrowApp.h"
#include "MSMask.h"
#include "ProfileMngr.h"
#include "Station.h"
#include "StringTable.h"
#include "UiFixture.h"

using namespace kestrow;
using namespace kestrow::test;

class TestEditProfile : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CUiFixture> m_pFix;
    CEditTarget m_Target;  // what the next sheet edits

    // A new profile "Profile 0" (defaults: ad hoc) named for the sheet.
    CProfile &NewProfile()
    {
        m_Target.profileName = Store().AddNew(nullptr);
        CProfile &p = *Store().Get(m_Target.profileName);
        p.NetName = "KestrowNet";
        return p;
    }
    std::unique_ptr<CEditProfile> Sheet(int caption = IDS_PROFILE_CONFIGURATION)
    {
        return std::make_unique<CEditProfile>(QStr(LoadString(caption)), m_Target.profileName);
    }
    template <class T = QWidget> static T *Gen(CEditProfile &sheet, int id)
    {
        return qobject_cast<T *>(sheet.GenPage()->Controls().Control(id));
    }

private slots:
    void init()
    {
        m_pFix = std::make_unique<CUiFixture>();
        theApp().SetProfileMngr(std::make_unique<CProfileMngr>());
    }
    void cleanup()
    {
        m_Target = {};
        m_pFix.reset();
    }

    void captionsChooseThePages()
    {
        NewProfile();
        CEditProfile edit(QStringLiteral("Profile Configuration: Profile 0"), m_Target.profileName);
        QCOMPARE(edit.Tabs()->count(), 2);
        QVERIFY(Gen(edit, CEditProfileGen::IDC_ADVANCED)->isVisibleTo(edit.GenPage()));

        auto security = Sheet(IDS_ENTER_SECURITY);
        QVERIFY(security->GenPage() == nullptr);  // the Security page alone
    }

    void nameAndSsidChecks_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ssid");
        QTest::addColumn<int>("message");  // 0: accepted
        const QString p0 = QStringLiteral("Profile 0"), x = QStringLiteral("x");
        QTest::newRow("name of 21") << QString(21, 'n') << x << int(IDS_INVALID_PROFILE_NAME);
        QTest::newRow("empty name") << QString() << x << int(IDS_INVALID_PROFILE_NAME);
        // Another profile's name would replace that profile.
        QTest::newRow("taken name") << QStringLiteral("Profile 1") << x << int(IDS_INVALID_PROFILE_NAME);
        QTest::newRow("ssid of 33") << p0 << QString(33, 's') << int(IDS_INVALID_SSID);
        QTest::newRow("empty ssid") << p0 << QString() << int(IDS_INVALID_SSID);
        // 17 characters but 34 bytes: too long for the air.
        QTest::newRow("ssid of 34 bytes") << p0 << QString(17, QChar(0x00E9)) << int(IDS_INVALID_SSID);
        QTest::newRow("name of 20, ssid of 32") << QString(20, 'n') << QString(32, 's') << 0;
        // A refused SSID does not undo the rename, which was saved at once.
        QTest::newRow("rename stands") << QStringLiteral("Office") << QString() << int(IDS_INVALID_SSID);
    }
    void nameAndSsidChecks()
    {
        QFETCH(QString, name);
        QFETCH(QString, ssid);
        QFETCH(int, message);
        CProfile &p = NewProfile();
        Store().AddNew(nullptr);  // "Profile 1"
        auto sheet = Sheet();
        Gen<QLineEdit>(*sheet, CEditProfileGen::IDC_NAME)->setText(name);
        Gen<QLineEdit>(*sheet, CEditProfileGen::IDC_SSID)->setText(ssid);
        sheet->OnOK();
        QCOMPARE(m_pFix->TakeMessages(), message == 0 ? Texts{} : Texts{LoadString(message)});
        QCOMPARE(sheet->result(), int(message == 0 ? QDialog::Accepted : QDialog::Rejected));
        // Only a refused name keeps the old one.
        const std::string nameAfter = message == IDS_INVALID_PROFILE_NAME ? "Profile 0" : name.toStdString();
        QCOMPARE(sheet->ProfileName(), nameAfter);
        QCOMPARE(p.ProfName, nameAfter);
        QCOMPARE(p.NetName, message == 0 ? ssid.toStdString() : std::string("KestrowNet"));
    }

    // The list offers the channels of the adapter's domain (all 14 when it
    // cannot be read) and selects the stored one, or the first.
    void channelListFollowsTheRegulatoryDomain_data()
    {
        QTest::addColumn<QString>("domain");  // empty: no adapter
        QTest::addColumn<QStringList>("ends");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("selected");    // of a profile on channel 7
        QTest::addColumn<int>("secondIndex");  // stored for the second entry
        QTest::newRow("ETSI") << QStringLiteral("0x30") << QStringList{"1 / 2.412 GHz", "13 / 2.472 GHz"} << 13 << 7 << 1;
        QTest::newRow("Spain") << QStringLiteral("0x31") << QStringList{"10 / 2.457 GHz", "11 / 2.462 GHz"} << 2 << 10
                               << 10;
        QTest::newRow("unread") << QString() << QStringList{"1 / 2.412 GHz", "14 / 2.477 GHz"} << 14 << 7 << 1;
    }
    void channelListFollowsTheRegulatoryDomain()
    {
        QFETCH(QString, domain);
        QFETCH(QStringList, ends);
        QFETCH(int, count);
        QFETCH(int, selected);
        QFETCH(int, secondIndex);
        if (!domain.isEmpty())
            QVERIFY(m_pFix->Start("[adapter sim0]\nscan_time = 1\nreg_domain = " + domain.toStdString() + "\n"));
        CProfile &p = NewProfile();
        p.PhyChnl = 6;  // channel 7
        auto sheet = Sheet();
        auto *list = Gen<QComboBox>(*sheet, CEditProfileGen::IDC_CHANNEL_LIST);
        QCOMPARE(list->count(), count);
        QCOMPARE((QStringList{list->itemText(0), list->itemText(count - 1)}), ends);
        QCOMPARE(sheet->GenPage()->SelectedChannel(), selected);
        list->setCurrentIndex(1);
        sheet->OnOK();
        QCOMPARE(p.PhyChnl, secondIndex);
    }

    void networkModeEnablesTheChannelControls()
    {
        CProfile &p = NewProfile();
        p.NetMode = true;
        p.PhyType = 2;
        auto sheet = Sheet();
        QWidget *list = Gen(*sheet, CEditProfileGen::IDC_CHANNEL_LIST);
        auto *bg = Gen<QRadioButton>(*sheet, CEditProfileGen::IDC_PHY_BG);
        QVERIFY(!list->isEnabled() && !bg->isEnabled());
        Gen<QRadioButton>(*sheet, CEditProfileGen::IDC_ADHOC)->click();
        QVERIFY(list->isEnabled() && bg->isChecked());
        QVERIFY(sheet->ApplyButton()->isEnabled());
        QVERIFY(sheet->OnApplyNow());
        QCOMPARE(std::tie(p.NetMode, p.PhyType), std::make_tuple(false, 1));
    }

    void editConnectionChangesOnlyPowerSave()
    {
        CProfile &p = NewProfile();
        p.PSType = 2;
        auto sheet = Sheet(IDS_EDIT_CONNECTION);
        for (int id : {CEditProfileGen::IDC_NAME, CEditProfileGen::IDC_SSID, CEditProfileGen::IDC_AUTO_SELECT,
                       CEditProfileGen::IDC_ADHOC, CEditProfileGen::IDC_CHANNEL_LIST})
            QVERIFY(!Gen(*sheet, id)->isEnabled());
        Gen<QLineEdit>(*sheet, CEditProfileGen::IDC_SSID)->setText(QString());  // not examined
        Gen<QSlider>(*sheet, CEditProfileGen::IDC_PS_SLIDER)->setValue(3);
        sheet->OnOK();
        QCOMPARE(std::tie(p.PSType, p.NetName, p.NetMode), std::make_tuple(3, std::string("KestrowNet"), false));

        // A station seen in the survey shows its channel number.
        CProfile seen;
        seen.PhyChnl = 10;  // index of channel 11
        CStation station(seen, nullptr, -60);
        Store().SetEditStation(&station);
        m_Target.profileName = kEditStationName;
        auto stationSheet = Sheet(IDS_EDIT_CONNECTION);
        Store().SetEditStation(nullptr);
        QCOMPARE(stationSheet->GenPage()->SelectedChannel(), 11);
    }

    void securityKeysFollowTypeAndCompleteness()
    {
        CProfile &p = NewProfile();
        p.SecKey[2] = "abc";
        auto sheet = Sheet();
        sheet->show();
        CEditProfileSec &sec = sheet->SecPage();
        QCOMPARE(sec.windowTitle(), QStringLiteral("Security: (None)"));
        for (int i = 0; i < CEditProfileSec::kKeys; ++i)
            QVERIFY(!sec.KeyField(i)->isEnabled() && !sec.KeyRadio(i)->isEnabled());
        QVERIFY(sheet->OnApplyNow());
        QCOMPARE(std::tie(p.ActiveSecKey, p.SecKey[2]), std::make_tuple(-1, std::string("abc")));

        sec.Security()->setCurrentIndex(1);
        emit sec.Security()->activated(1);
        QCOMPARE(sheet->Tabs()->tabText(1), QStringLiteral("Security: (WEP)"));
        // Nine digits (a click past the mask starts at the first place;
        // letters that are no hex digits are not taken): incomplete, no
        // active key, refused.
        CMSMask *key = sec.KeyField(1);
        key->setFocus();
        QTest::mouseClick(key, Qt::LeftButton, {}, QPoint(key->width() * 3 / 4, key->height() / 2));
        QTest::keyClicks(key, QStringLiteral("0ga1zb2c3d4"));
        QCOMPARE(key->displayText(), QStringLiteral("0a - 1b - 2c - 3d - 4_"));
        QVERIFY(!sheet->OnApplyNow());
        QCOMPARE(m_pFix->TakeMessages(), Texts{LoadString(IDS_NEED_SECURITY_KEY)});
        // The tenth makes it complete and active; deleting one drops it.
        QTest::keyClick(key, Qt::Key_E);
        QCOMPARE(sec.ActiveKey(), 1);
        QTest::keyClick(key, Qt::Key_Backspace);
        QCOMPARE(sec.ActiveKey(), -1);
        QTest::keyClick(key, Qt::Key_F);
        // The eye hides the key behind dots and changes nothing of it.
        key->ShowKeyAction()->trigger();
        QCOMPARE(key->echoMode(), QLineEdit::Password);
        sheet->OnOK();
        QCOMPARE(std::tie(p.SecType, p.ActiveSecKey, p.SecKey[1], p.SecKeyLen[1]),
                 std::make_tuple(1, 1, std::string("0a1b2c3d4f"), 0));
    }

    void keySizeSwitchesTheMask()
    {
        CProfile &p = NewProfile();
        p.SecType = 1;
        p.SecKey[1] = "0123456789";
        p.ActiveSecKey = 1;
        p.Use802_1 = true;
        auto sheet = Sheet();
        CEditProfileSec &sec = sheet->SecPage();
        QVERIFY(!sec.KeyField(0)->isEnabled());  // 802.1x: no keys, none demanded
        sec.Use8021x()->click();
        QVERIFY(sec.KeyField(0)->isEnabled());

        sec.KeySize(1)->setCurrentIndex(1);
        emit sec.KeySize(1)->activated(1);
        QCOMPARE(sec.KeyField(1)->KeyText(), QStringLiteral("0123456789"));  // kept, now incomplete
        QVERIFY(!sheet->OnApplyNow());
        QCOMPARE(m_pFix->TakeMessages(), Texts{LoadString(IDS_NEED_SECURITY_KEY)});
        sec.KeyField(1)->SetKeyText(QStringLiteral("0123456789-abcdefgABCDEF-0123"));
        QVERIFY(sheet->OnApplyNow());
        QCOMPARE(std::tie(p.SecKeyLen[1], p.SecKey[1]), std::make_tuple(1, std::string("0123456789abcdefABCDEF0123")));
    }

    void advancedRates()
    {
        CProfile &p = NewProfile();
        CEditProfileAdv adv(QStr(LoadString(IDS_ADVANCED_PROFILE_EDIT)), m_Target);
        CEditProfileAdvGen &page = adv.Page();
        QComboBox *rates = page.Rates();
        // Each wireless mode offers its own rates.
        for (const auto &[mode, count, last] : {std::tuple{1, 7, "54"}, {3, 6, "11"}, {2, 11, "54"}}) {
            page.FillRates(mode);
            QCOMPARE(rates->count(), count);
            QCOMPARE(rates->itemText(count - 1), QLatin1String(last));
        }
        page.SelectRate(12345);  // no rate of the list: the first
        QCOMPARE(rates->currentIndex(), 0);

        rates->setCurrentIndex(rates->findText(QStringLiteral("5.5")));
        adv.OnOK();
        QCOMPARE(p.MaxNetRate, 2750000);
        CEditProfileAdv again(QStr(LoadString(IDS_ADVANCED_PROFILE_EDIT)), m_Target);
        QCOMPARE(again.Page().Rates()->currentText(), QStringLiteral("5.5"));

        m_Target.editConnection = true;  // the rates stay as they are
        CEditProfileAdv edit(QStr(LoadString(IDS_ADVANCED_PROFILE_EDIT)), m_Target);
        QVERIFY(!edit.Page().Rates()->isEnabled() && !edit.Page().WirelessMode()->isEnabled());
    }

    void advancedRtsAndFragmentation()
    {
        CProfile &p = NewProfile();
        p.RTSThreshold = 500;
        CEditProfileAdv adv(QStr(LoadString(IDS_ADVANCED_PROFILE_EDIT)), m_Target);
        CEditProfileAdvGen &page = adv.Page();
        QCOMPARE(page.RtsEdit()->text(), QStringLiteral("500"));
        QVERIFY(!page.RtsEdit()->isEnabled());
        page.RtsEdit()->setText(QStringLiteral("2313"));
        QCOMPARE(page.RtsSlider()->value(), 2312);  // the edit keeps its text: refused below
        QVERIFY(adv.OnApplyNow());  // off: the threshold is not examined
        page.UseRts()->click();
        QVERIFY(page.RtsEdit()->isEnabled());
        QVERIFY(!adv.OnApplyNow());
        QCOMPARE(m_pFix->TakeMessages(), Texts{LoadString(IDS_BAD_RTS)});
        // 0 is in range for the slider, the edit and the check alike.
        page.RtsSlider()->setValue(0);  // the edit follows
        adv.OnOK();
        QCOMPARE(std::tie(p.RTSThreshold, p.UseRTS), std::make_tuple(0, true));
        // Fragmentation, when on, needs 256..2312.
        page.UseFragmentation()->click();
        page.FragEdit()->setText(QStringLiteral("100"));
        QVERIFY(!adv.OnApplyNow());
        QCOMPARE(m_pFix->TakeMessages(), Texts{LoadString(IDS_BAD_FRAGMENTATION)});
    }
};

QTEST_MAIN(TestEditProfile)
#include "tst_editprofile.moc"
