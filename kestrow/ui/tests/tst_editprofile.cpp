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

#include "CommVarList.h"
#include "EditProfile.h"
#include "EditProfileAdv.h"
#include "KestrowApp.h"
#include "MSMask.h"
#include "ProfileMngr.h"
#include "SimAdapter.h"
#include "Station.h"
#include "StringTable.h"
#include "VarCodes.h"

using namespace kestrow;
using namespace kestrow::test;

class TestEditProfile : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CSimAdapter> m_pSim;
    std::unique_ptr<CRecordingSink> m_pSink;

    // What the next sheet edits.
    CEditTarget m_Target;

    static CProfileMngr &Store() { return *theApp().ProfileMngr(); }

    // A new profile "Profile 0" (defaults: ad hoc) named for the sheet.
    CProfile &NewProfile()
    {
        const std::string name = Store().AddNew(nullptr);
        m_Target.profileName = name;
        CProfile &p = *Store().Get(name);
        p.NetName = "KestrowNet";
        return p;
    }
    void StartSim(const char *domain)
    {
        QVERIFY(m_pSim->Start(QStringLiteral("[adapter sim0]\nscan_time = 1\nreg_domain = %1\n")
                                  .arg(QLatin1String(domain))));
        QVERIFY(theApp().ConnectDriver());
    }
    static QStringList Channels(CEditProfileGen &page)
    {
        auto *list = qobject_cast<QComboBox *>(page.Controls().Control(CEditProfileGen::IDC_CHANNEL_LIST));
        QStringList texts;
        for (int i = 0; i < list->count(); ++i) {
            texts << list->itemText(i);
        }
        return texts;
    }
    static QWidget *Gen(CEditProfile &sheet, int id) { return sheet.GenPage()->Controls().Control(id); }
    static void SetText(CEditProfile &sheet, int id, const QString &text)
    {
        qobject_cast<QLineEdit *>(Gen(sheet, id))->setText(text);
    }
    std::vector<std::string> TakeMessages()
    {
        std::vector<std::string> m;
        m.swap(m_pSink->Messages);
        return m;
    }

private slots:
    void init()
    {
        m_pSim = std::make_unique<CSimAdapter>();
        m_pSink = std::make_unique<CRecordingSink>();
        theApp().SetProfileMngr(std::make_unique<CProfileMngr>());
    }
    void cleanup()
    {
        m_Target = {};
        m_pSim.reset();
        m_pSink.reset();
    }

    void captionsChooseThePages()
    {
        NewProfile();
        CEditProfile edit(QStringLiteral("Profile Configuration: Profile 0"), m_Target.profileName);
        QCOMPARE(edit.Tabs()->count(), 2);
        QVERIFY(!edit.IsEditConnection());
        // OK, Cancel and Apply, in that order, and no Help.
        QStringList order;
        for (QPushButton *b : edit.findChildren<QPushButton *>()) {
            if (b->parentWidget() == &edit) {
                order << b->text();
            }
        }
        QCOMPARE(order, (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel"), QStringLiteral("&Apply")}));
        // The "&Advanced" button is offered.
        QVERIFY(Gen(edit, CEditProfileGen::IDC_ADVANCED)->isVisibleTo(edit.GenPage()));

        CEditProfile security(QStr(LoadString(IDS_ENTER_SECURITY)), m_Target.profileName);
        QCOMPARE(security.Tabs()->count(), 1);
        QVERIFY(security.GenPage() == nullptr);
        QCOMPARE(security.Tabs()->widget(0), &security.SecPage());
    }

    void nameAndSsidLimits()
    {
        CProfile &p = NewProfile();
        struct Case {
            QString name, ssid;
            int message;  // 0: accepted
        };
        const Case cases[] = {
            {QString(21, QLatin1Char('n')), QStringLiteral("x"), IDS_INVALID_PROFILE_NAME},
            {QString(), QStringLiteral("x"), IDS_INVALID_PROFILE_NAME},
            {QStringLiteral("Profile 0"), QString(33, QLatin1Char('s')), IDS_INVALID_SSID},
            {QStringLiteral("Profile 0"), QString(), IDS_INVALID_SSID},
            // 17 characters but 34 bytes: too long for the air.
            {QStringLiteral("Profile 0"), QString(17, QChar(0x00E9)), IDS_INVALID_SSID},
            {QStringLiteral("Profile 0"), QString(32, QLatin1Char('s')), 0},
            {QString(20, QLatin1Char('n')), QStringLiteral("Net"), 0},
        };
        for (const Case &c : cases) {
            CEditProfile sheet(QStr(LoadString(IDS_PROFILE_CONFIGURATION)), m_Target.profileName);
            SetText(sheet, CEditProfileGen::IDC_NAME, c.name);
            SetText(sheet, CEditProfileGen::IDC_SSID, c.ssid);
            sheet.OnOK();
            m_Target.profileName = sheet.ProfileName();
            const auto messages = TakeMessages();
            if (c.message == 0) {
                QVERIFY2(messages.empty(), qPrintable(c.name));
                QCOMPARE(sheet.result(), int(QDialog::Accepted));
            } else {
                QCOMPARE(messages, std::vector<std::string>{LoadString(c.message)});
                QCOMPARE(sheet.result(), int(QDialog::Rejected));
            }
        }
        QCOMPARE(p.NetName, std::string("Net"));
        QCOMPARE(p.ProfName, std::string(20, 'n'));
        QCOMPARE(m_Target.profileName, std::string(20, 'n'));
    }

    void renameStandsWhenTheSsidIsRefused()
    {
        NewProfile();
        Store().AddNew(nullptr);  // "Profile 1"
        {
            // A name another profile has would replace that profile.
            CEditProfile sheet(QStr(LoadString(IDS_PROFILE_CONFIGURATION)), m_Target.profileName);
            SetText(sheet, CEditProfileGen::IDC_NAME, QStringLiteral("Profile 1"));
            QVERIFY(!sheet.OnApplyNow());
            QCOMPARE(TakeMessages(), std::vector<std::string>{LoadString(IDS_INVALID_PROFILE_NAME)});
            QCOMPARE(Store().GetCount(), std::size_t(2));
        }
        CEditProfile sheet(QStr(LoadString(IDS_PROFILE_CONFIGURATION)), m_Target.profileName);
        SetText(sheet, CEditProfileGen::IDC_NAME, QStringLiteral("Office"));
        SetText(sheet, CEditProfileGen::IDC_SSID, QString());
        sheet.OnOK();
        QCOMPARE(TakeMessages(), std::vector<std::string>{LoadString(IDS_INVALID_SSID)});
        QCOMPARE(sheet.result(), int(QDialog::Rejected));
        QVERIFY(Store().Get("Profile 0") == nullptr);
        QVERIFY(Store().Get("Office") != nullptr);
        QCOMPARE(sheet.ProfileName(), std::string("Office"));
        // The rename was saved at once.
        QCOMPARE(theApp().GetProfileString("Profile 0", "ProfName", ""), std::string("Office"));
    }

    void channelListFollowsTheRegulatoryDomain()
    {
        StartSim("0x30");
        CProfile &p = NewProfile();
        {
            CEditProfile sheet(QStr(LoadString(IDS_PROFILE_CONFIGURATION)), m_Target.profileName);
            const QStringList list = Channels(*sheet.GenPage());
            QCOMPARE(list.size(), 13);
            QCOMPARE(list.first(), QStringLiteral("1 / 2.412 GHz"));
            QCOMPARE(list.at(5), QStringLiteral("6 / 2.437 GHz"));
            QCOMPARE(list.last(), QStringLiteral("13 / 2.472 GHz"));
        }
        p.PhyChnl = 6;  // channel 7
        CEditProfile sheet(QStr(LoadString(IDS_PROFILE_CONFIGURATION)), m_Target.profileName);
        QCOMPARE(sheet.GenPage()->SelectedChannel(), 7);
    }

    void domainStartingAtChannelTenStoresTheChannel()
    {
        StartSim("0x31");
        CProfile &p = NewProfile();
        p.PhyChnl = 5;  // channel 6: not in this domain's list
        CEditProfile sheet(QStr(LoadString(IDS_PROFILE_CONFIGURATION)), m_Target.profileName);
        QCOMPARE(Channels(*sheet.GenPage()),
                 (QStringList{QStringLiteral("10 / 2.457 GHz"), QStringLiteral("11 / 2.462 GHz")}));
        QCOMPARE(sheet.GenPage()->SelectedChannel(), 10);
        qobject_cast<QComboBox *>(Gen(sheet, CEditProfileGen::IDC_CHANNEL_LIST))->setCurrentIndex(1);
        sheet.OnOK();
        QCOMPARE(p.PhyChnl, 10);

        // The ad hoc network is started on channel 11.
        CStation station(p, nullptr, 0);
        QVERIFY(station.Apply(CStation::Connect));
        CCommVarList batch;
        CCommVar *channel = batch.Add(VAR_CHANNEL, nullptr, nullptr);
        QVERIFY(batch.Exec(false, false));
        QCOMPARE(int(channel->m_Records[0].u8(8)), 11);
    }

    void failedDomainReadListsFourteenChannels()
    {
        NewProfile();
        CEditProfile sheet(QStr(LoadString(IDS_PROFILE_CONFIGURATION)), m_Target.profileName);
        const QStringList list = Channels(*sheet.GenPage());
        QCOMPARE(list.size(), 14);
        QCOMPARE(list.last(), QStringLiteral("14 / 2.477 GHz"));
    }

    void networkModeEnablesTheChannelControls()
    {
        CProfile &p = NewProfile();
        p.NetMode = true;
        p.PhyType = 2;
        CEditProfile sheet(QStr(LoadString(IDS_PROFILE_CONFIGURATION)), m_Target.profileName);
        QWidget *list = Gen(sheet, CEditProfileGen::IDC_CHANNEL_LIST);
        auto *bg = qobject_cast<QRadioButton *>(Gen(sheet, CEditProfileGen::IDC_PHY_BG));
        QVERIFY(!list->isEnabled());
        QVERIFY(!bg->isEnabled());
        qobject_cast<QRadioButton *>(Gen(sheet, CEditProfileGen::IDC_ADHOC))->click();
        QVERIFY(list->isEnabled());
        QVERIFY(bg->isChecked());
        QVERIFY(sheet.ApplyButton()->isEnabled());
        QVERIFY(sheet.OnApplyNow());
        QCOMPARE(p.NetMode, false);
        QCOMPARE(p.PhyType, 1);
    }

    void editConnectionChangesOnlyPowerSave()
    {
        CProfile &p = NewProfile();
        p.PSType = 2;
        CEditProfile sheet(QStr(LoadString(IDS_EDIT_CONNECTION)), m_Target.profileName);
        QVERIFY(sheet.IsEditConnection());
        for (int id : {CEditProfileGen::IDC_NAME, CEditProfileGen::IDC_SSID, CEditProfileGen::IDC_AUTO_SELECT,
                       CEditProfileGen::IDC_ADHOC, CEditProfileGen::IDC_CHANNEL_LIST}) {
            QVERIFY(!Gen(sheet, id)->isEnabled());
        }
        SetText(sheet, CEditProfileGen::IDC_SSID, QString());  // not examined
        qobject_cast<QSlider *>(Gen(sheet, CEditProfileGen::IDC_PS_SLIDER))->setValue(3);
        sheet.OnOK();
        QVERIFY(TakeMessages().empty());
        QCOMPARE(p.PSType, 3);
        QCOMPARE(p.NetName, std::string("KestrowNet"));
        QCOMPARE(p.NetMode, false);
    }

    void editStationShowsItsChannelNumber()
    {
        CProfile seen;
        seen.NetName = "KestrowNet";
        seen.PhyChnl = 10;  // index of channel 11
        CStation station(seen, nullptr, -60);
        Store().SetEditStation(&station);
        m_Target.profileName = kEditStationName;
        CEditProfile sheet(QStr(LoadString(IDS_EDIT_CONNECTION)), m_Target.profileName);
        Store().SetEditStation(nullptr);
        QCOMPARE(station.PhyChnl, 11);
        QCOMPARE(sheet.GenPage()->SelectedChannel(), 11);
    }

    void securityKeysFollowTypeAndCompleteness()
    {
        CProfile &p = NewProfile();
        p.SecKey[2] = "abc";
        CEditProfile sheet(QStr(LoadString(IDS_PROFILE_CONFIGURATION)), m_Target.profileName);
        sheet.show();
        CEditProfileSec &sec = sheet.SecPage();
        QCOMPARE(sec.windowTitle(), QStringLiteral("Security: (None)"));
        for (int i = 0; i < CEditProfileSec::kKeys; ++i) {
            QVERIFY(!sec.KeyField(i)->isEnabled());
            QVERIFY(!sec.KeyRadio(i)->isEnabled());
        }
        QVERIFY(sheet.OnApplyNow());
        QCOMPARE(p.SecType, 0);
        QCOMPARE(p.ActiveSecKey, -1);
        QCOMPARE(p.SecKey[2], std::string("abc"));

        sec.Security()->setCurrentIndex(1);
        emit sec.Security()->activated(1);
        QCOMPARE(sec.windowTitle(), QStringLiteral("Security: (WEP)"));
        QCOMPARE(sheet.Tabs()->tabText(1), QStringLiteral("Security: (WEP)"));
        QVERIFY(sec.KeyField(0)->isEnabled());

        // Nine digits (a click past the mask starts at the first place;
        // letters that are no hex digits are not taken): incomplete, no
        // active key, refused.
        CMSMask *key = sec.KeyField(1);
        key->setFocus();
        QTest::mouseClick(key, Qt::LeftButton, {}, QPoint(key->width() * 3 / 4, key->height() / 2));
        QTest::keyClicks(key, QStringLiteral("0ga1zb2c3d4"));
        QCOMPARE(key->KeyText(), QStringLiteral("0a1b2c3d4"));
        QCOMPARE(key->displayText(), QStringLiteral("0a - 1b - 2c - 3d - 4_"));
        QCOMPARE(sec.ActiveKey(), -1);
        QVERIFY(!sheet.OnApplyNow());
        QCOMPARE(TakeMessages(), std::vector<std::string>{LoadString(IDS_NEED_SECURITY_KEY)});
        // The tenth makes it complete and active; deleting one drops it.
        QTest::keyClick(key, Qt::Key_E);
        QCOMPARE(sec.ActiveKey(), 1);
        QTest::keyClick(key, Qt::Key_Backspace);
        QCOMPARE(sec.ActiveKey(), -1);
        QTest::keyClick(key, Qt::Key_F);
        QCOMPARE(sec.ActiveKey(), 1);
        // The eye hides the key behind dots and changes nothing of it.
        key->ShowKeyAction()->trigger();
        QCOMPARE(key->echoMode(), QLineEdit::Password);
        QCOMPARE(key->KeyText(), QStringLiteral("0a1b2c3d4f"));
        sheet.OnOK();
        QVERIFY(TakeMessages().empty());
        QCOMPARE(p.SecType, 1);
        QCOMPARE(p.ActiveSecKey, 1);
        QCOMPARE(p.SecKey[1], std::string("0a1b2c3d4f"));
        QCOMPARE(p.SecKeyLen[1], 0);
    }

    void keySizeSwitchesTheMask()
    {
        CProfile &p = NewProfile();
        p.SecType = 1;
        p.SecKey[1] = "0123456789";
        p.ActiveSecKey = 1;
        p.Use802_1 = true;
        CEditProfile sheet(QStr(LoadString(IDS_PROFILE_CONFIGURATION)), m_Target.profileName);
        CEditProfileSec &sec = sheet.SecPage();
        // 802.1x: keys disabled and none demanded.
        QVERIFY(!sec.KeyField(0)->isEnabled());
        sec.Use8021x()->click();
        QVERIFY(sec.KeyField(0)->isEnabled());
        QVERIFY(sec.IsKeyComplete(1));

        sec.KeySize(1)->setCurrentIndex(1);
        emit sec.KeySize(1)->activated(1);
        QCOMPARE(sec.KeyField(1)->Mask(), QString::fromLatin1(CEditProfileSec::kMask104));
        QCOMPARE(sec.KeyField(1)->Capacity(), 26);
        QCOMPARE(sec.KeyField(1)->KeyText(), QStringLiteral("0123456789"));
        QVERIFY(!sec.IsKeyComplete(1));
        QVERIFY(!sheet.OnApplyNow());
        QCOMPARE(TakeMessages(), std::vector<std::string>{LoadString(IDS_NEED_SECURITY_KEY)});
        sec.KeyField(1)->SetKeyText(QStringLiteral("0123456789-abcdefgABCDEF-0123"));
        QCOMPARE(sec.KeyField(1)->KeyText(), QStringLiteral("0123456789abcdefABCDEF0123"));
        QVERIFY(sheet.OnApplyNow());
        QCOMPARE(p.SecKeyLen[1], 1);
        QCOMPARE(p.SecKey[1], std::string("0123456789abcdefABCDEF0123"));
    }

    void advancedRates()
    {
        CProfile &p = NewProfile();
        CEditProfileAdv adv(QStr(LoadString(IDS_ADVANCED_PROFILE_EDIT)), m_Target);
        CEditProfileAdvGen &page = adv.Page();
        QComboBox *rates = page.Rates();
        page.FillRates(1);
        QCOMPARE(rates->count(), 7);
        QCOMPARE(rates->itemText(0), QStringLiteral("6"));
        page.FillRates(3);
        QCOMPARE(rates->count(), 6);
        QCOMPARE(rates->itemText(5), QStringLiteral("11"));
        page.FillRates(2);
        QCOMPARE(rates->count(), 11);
        page.SelectRate(27000000);
        QCOMPARE(rates->currentText(), QStringLiteral("54"));
        page.SelectRate(12345);
        QCOMPARE(rates->currentIndex(), 0);

        rates->setCurrentIndex(rates->findText(QStringLiteral("5.5")));
        adv.OnOK();
        QCOMPARE(p.MaxNetRate, 2750000);
        CEditProfileAdv again(QStr(LoadString(IDS_ADVANCED_PROFILE_EDIT)), m_Target);
        QCOMPARE(again.Page().Rates()->currentText(), QStringLiteral("5.5"));
    }

    void advancedRtsThreshold()
    {
        CProfile &p = NewProfile();
        p.RTSThreshold = 500;
        CEditProfileAdv adv(QStr(LoadString(IDS_ADVANCED_PROFILE_EDIT)), m_Target);
        CEditProfileAdvGen &page = adv.Page();
        QCOMPARE(page.RtsEdit()->text(), QStringLiteral("500"));
        QVERIFY(!page.RtsEdit()->isEnabled());
        page.RtsSlider()->setValue(1000);
        QCOMPARE(page.RtsEdit()->text(), QStringLiteral("1000"));
        page.RtsEdit()->setText(QStringLiteral("2313"));
        QCOMPARE(page.RtsSlider()->value(), 2312);
        QCOMPARE(page.RtsEdit()->text(), QStringLiteral("2313"));
        // Off: the threshold is not examined.
        QVERIFY(adv.OnApplyNow());
        QVERIFY(TakeMessages().empty());
        page.UseRts()->click();
        QVERIFY(page.RtsEdit()->isEnabled());
        QVERIFY(!adv.OnApplyNow());
        QCOMPARE(TakeMessages(), std::vector<std::string>{LoadString(IDS_BAD_RTS)});
        // 0 is in range for the slider, the edit and the check alike.
        page.RtsSlider()->setValue(0);
        QCOMPARE(page.RtsEdit()->text(), QStringLiteral("0"));
        adv.OnOK();
        QVERIFY(TakeMessages().empty());
        QCOMPARE(p.RTSThreshold, 0);
        QVERIFY(p.UseRTS);
        // Fragmentation, when on, needs 256..2312.
        page.UseFragmentation()->click();
        page.FragEdit()->setText(QStringLiteral("100"));
        QVERIFY(!adv.OnApplyNow());
        QCOMPARE(TakeMessages(), std::vector<std::string>{LoadString(IDS_BAD_FRAGMENTATION)});
    }

    void advancedUnderEditConnection()
    {
        NewProfile();
        m_Target.editConnection = true;
        CEditProfileAdv adv(QStr(LoadString(IDS_ADVANCED_PROFILE_EDIT)), m_Target);
        QVERIFY(!adv.Page().Rates()->isEnabled());
        QVERIFY(!adv.Page().WirelessMode()->isEnabled());
        QVERIFY(adv.Page().RtsSlider() != nullptr);
    }
};

QTEST_MAIN(TestEditProfile)
#include "tst_editprofile.moc"
