// The Available Networks dialog and its commands against a real adapter-sim
// playing the default scenario: both views, byte-wise sorting, row icons and
// the connected row, buttons and context menu, rescan progress, Connect
// (open, WEP, replacing a profile, ad hoc), Save as profile and Edit
// connection.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <memory>
#include <vector>

#include "EditProfile.h"
#include "EditProfileGen.h"
#include "EditProfileSec.h"
#include "KestrowApp.h"
#include "SectionLock.h"
#include "MSMask.h"
#include "ProfileMngr.h"
#include "SimAdapter.h"
#include "Station.h"
#include "StationMngr.h"
#include "StringTable.h"
#include "ViewSite.h"

using namespace kestrow;
using namespace kestrow::test;

namespace {

// The simulator's default scenario with an instant scan.
QString Scenario()
{
    QFile file(QStringLiteral(KESTROW_TEST_DEFAULT_SCENARIO));
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QStringLiteral("scan_time = 2000"), QStringLiteral("scan_time = 1"));
    return text;
}

// A station as a scan entry would give it.
std::unique_ptr<CStation> MakeStation(const std::string &ssid, int channel, int level, std::uint8_t id)
{
    std::vector<std::uint8_t> entry(kScanEntrySize, 0);
    entry[kEntryBssid] = 0x02;
    entry[kEntryBssid + 5] = id;
    entry[kEntrySsidLen] = static_cast<std::uint8_t>(ssid.size());
    std::copy(ssid.begin(), ssid.end(), entry.begin() + kEntrySsid);
    entry[kEntryPhyType] = 2;
    entry[kEntryChannel] = static_cast<std::uint8_t>(channel);
    const auto raw = static_cast<std::uint32_t>(level);
    for (std::size_t i = 0; i < 4; ++i) {
        entry[kEntrySignal + i] = static_cast<std::uint8_t>(raw >> (8 * i));
    }
    return std::make_unique<CStation>(entry, false);
}

QImage Picture(const QIcon &icon)
{
    return icon.pixmap(16, 16).toImage();
}

} // namespace

class TestViewSite : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CSimAdapter> m_pSim;
    std::unique_ptr<CRecordingSink> m_pSink;
    std::unique_ptr<CViewSite> m_pSite;
    int m_nSheets = 0;
    QString m_strCaption;

    static CProfileMngr &Store() { return *theApp().ProfileMngr(); }
    static CStationMngr &Stations() { return *theApp().StationMngr(); }
    QTreeWidget *List() const { return m_pSite->List(); }
    QPushButton *Button(int id) const { return qobject_cast<QPushButton *>(m_pSite->Controls().Control(id)); }

    std::vector<std::string> TakeMessages()
    {
        std::vector<std::string> m;
        m.swap(m_pSink->Messages);
        return m;
    }
    std::vector<std::string> RowKeys() const
    {
        std::vector<std::string> keys;
        for (int i = 0; i < List()->topLevelItemCount(); ++i) {
            keys.push_back(m_pSite->RowKey(i));
        }
        return keys;
    }
    QTreeWidgetItem *Row(const std::string &key) const
    {
        for (int i = 0; i < List()->topLevelItemCount(); ++i) {
            if (m_pSite->RowKey(i) == key) {
                return List()->topLevelItem(i);
            }
        }
        return nullptr;
    }
    // A sheet runner that records the caption and answers with `answer`
    // after `edit` has run.
    void Answer(std::function<void(CEditProfile &)> edit, bool ok)
    {
        m_pSite->SetSheetRunner([this, edit, ok](CEditProfile &sheet) {
            ++m_nSheets;
            m_strCaption = sheet.windowTitle();
            if (edit) {
                edit(sheet);
            }
            if (!ok) {
                return int(QDialog::Rejected);
            }
            sheet.OnOK();
            return sheet.result();
        });
    }
    static void EnterKey104(CEditProfile &sheet, const QString &key)
    {
        CEditProfileSec &sec = sheet.SecPage();
        sec.KeySize(0)->setCurrentIndex(1);
        emit sec.KeySize(0)->activated(1);
        sec.KeyField(0)->SetKeyText(key);
        sec.KeyRadio(0)->setChecked(true);
    }
    static CProfile &AddProfile(const char *name, const char *ssid, bool member)
    {
        const std::string made = Store().AddNew(nullptr);
        Store().Rename(made, name);
        CProfile &p = *Store().Get(name);
        p.NetName = ssid;
        p.NetMode = true;
        p.AutoSelect = member;
        p.Priority = member ? Store().UpdatePriorities(-1) : -1;
        return p;
    }
    void Rebuild()
    {
        QVERIFY(!Stations().UpdateFromScan());
        m_pSite->Refresh();
    }

private slots:
    void init()
    {
        m_pSim = std::make_unique<CSimAdapter>();
        m_pSink = std::make_unique<CRecordingSink>();
        const QString scenario = Scenario();
        QVERIFY(!scenario.isEmpty());
        QVERIFY(m_pSim->Start(scenario));
        QVERIFY(theApp().CreateMainLock());
        theApp().SetProfileMngr(std::make_unique<CProfileMngr>());
        theApp().SetStationMngr(std::make_unique<CStationMngr>(theApp(), *theApp().ProfileMngr()));
        // The simulated scan is instant; wait for its last result.
        QTRY_VERIFY_WITH_TIMEOUT(!Stations().UpdateFromScan() && Stations().GetCount() == 13, 10000);
        m_nSheets = 0;
        m_pSite = std::make_unique<CViewSite>();
        m_pSite->SetSheetRunner([this](CEditProfile &) {
            ++m_nSheets;
            return int(QDialog::Rejected);
        });
    }
    void cleanup()
    {
        m_pSite.reset();
        m_pSim.reset();
        m_pSink.reset();
    }

    void viewsAndNames()
    {
        QCOMPARE(m_pSite->windowTitle(), QStringLiteral("Available AP's"));
        QCOMPARE(Button(CViewSite::IDC_VIEW)->text(), QStringLiteral("NetworkView"));
        QCOMPARE(List()->columnCount(), 7);
        QCOMPARE(List()->topLevelItemCount(), 13);
        // Valid UTF-8 is shown as text; the hidden network has an empty name.
        QVERIFY(Row("Caf\xc3\xa9 M\xc3\xbcller;11") != nullptr);
        QCOMPARE(Row("Caf\xc3\xa9 M\xc3\xbcller;11")->text(1), QString::fromUtf8("Caf\xc3\xa9 M\xc3\xbcller"));
        QCOMPARE(Row(";11")->text(1), QString());
        // Other bytes are shown as Latin-1.
        Stations().AddStation(MakeStation("\xe9t\xe9", 6, -60, 1));
        m_pSite->Refresh();
        QCOMPARE(Row("\xe9t\xe9;6")->text(1), QStringLiteral("\u00e9t\u00e9"));

        Button(CViewSite::IDC_VIEW)->click();
        QVERIFY(m_pSite->IsNetView());
        QCOMPARE(theApp().GetProfileInt("", "View AP or NET", -1), 1);
        QCOMPARE(m_pSite->windowTitle(), QStringLiteral("Available Networks"));
        QCOMPARE(Button(CViewSite::IDC_VIEW)->text(), QStringLiteral("AP View"));
        QCOMPARE(List()->columnCount(), 4);
        // One row per name: "Campus" keeps its strongest station (channel 6).
        QCOMPARE(List()->topLevelItemCount(), 11);
        QVERIFY(Row("Campus") != nullptr);
        QVERIFY(m_pSite->SelectRow("Campus"));
        QCOMPARE(m_pSite->SelectedStation()->PhyChnl, 6);

        Button(CViewSite::IDC_VIEW)->click();
        QCOMPARE(theApp().GetProfileInt("", "View AP or NET", -1), 0);
        QCOMPARE(List()->columnCount(), 7);
        QCOMPARE(List()->topLevelItemCount(), 13);
    }

    void sortingIsByteWiseAndReversible()
    {
        // Names with the characters of the keys and the sort texts.
        Stations().AddStation(MakeStation("x;y -- \"z\"", 6, -60, 1));
        Stations().AddStation(MakeStation("x;y", 6, -60, 2));
        m_pSite->OnColumnClick(4);
        QCOMPARE(m_pSite->SortColumn(), 4);
        QVERIFY(m_pSite->SortAscending());
        const std::vector<std::string> ascending = RowKeys();
        QCOMPARE(ascending.size(), std::size_t(15));
        // Channel texts in byte order: 1, 1, 10, 11, ..., 36, 4, 6, 9.
        QStringList channels;
        for (int i = 0; i < List()->topLevelItemCount(); ++i) {
            channels << List()->topLevelItem(i)->text(4);
        }
        QCOMPARE(channels.indexOf(QStringLiteral("11")) < channels.indexOf(QStringLiteral("6")), true);
        QCOMPARE(channels.first(), QStringLiteral("1"));
        QCOMPARE(channels.last(), QStringLiteral("9"));
        // Equal channels are ordered by the key appended to the text.
        QCOMPARE(ascending[0], std::string("Campus;1"));
        QCOMPARE(ascending[1], std::string("CoffeeCorner;1"));

        m_pSite->OnColumnClick(4);
        QVERIFY(!m_pSite->SortAscending());
        const std::vector<std::string> descending = RowKeys();
        QVERIFY(std::equal(ascending.rbegin(), ascending.rend(), descending.begin(), descending.end()));

        // Another column sorts ascending again; both odd names keep their
        // own rows and keys.
        m_pSite->OnColumnClick(1);
        QVERIFY(m_pSite->SortAscending());
        QVERIFY(m_pSite->SelectRow("x;y -- \"z\";6"));
        QCOMPARE(m_pSite->SelectedStation()->NetName, std::string("x;y -- \"z\""));
        QVERIFY(m_pSite->SelectRow("x;y;6"));
        QCOMPARE(m_pSite->SelectedStation()->NetName, std::string("x;y"));
        // The selection is kept by key across refreshes and re-sorts.
        m_pSite->OnColumnClick(6);
        QCOMPARE(m_pSite->RowKey(List()->indexOfTopLevelItem(List()->currentItem())), std::string("x;y;6"));
    }

    void iconsAndTheConnectedRow()
    {
        Stations().RemoveAll();
        Stations().AddStation(MakeStation("L67", 1, -67, 1));
        Stations().AddStation(MakeStation("L71", 1, -71, 2));
        Stations().AddStation(MakeStation("L81", 1, -81, 3));
        Stations().AddStation(MakeStation("L82", 1, -82, 4));
        Stations().AddStation(MakeStation("Joined", 1, -90, 5));
        Stations().ConnectedKey = "Joined;1";
        m_pSite->Refresh();
        const std::vector<std::pair<const char *, int>> expected{
            {"L67;1", 1}, {"L71;1", 3}, {"L81;1", 2}, {"L82;1", 4}, {"Joined;1", 0}};
        for (const auto &[key, image] : expected) {
            QTreeWidgetItem *row = Row(key);
            QVERIFY(row != nullptr);
            QCOMPARE(Picture(row->icon(0)), Picture(CViewSite::RowIcon(image)));
            const bool connected = image == 0;
            QCOMPARE(row->background(2).color() == CViewSite::kConnectedColour, connected);
        }
        QCOMPARE(m_pSite->ConnectedRowKey(), std::string("Joined;1"));
        QVERIFY(Picture(CViewSite::RowIcon(1)) != Picture(CViewSite::RowIcon(4)));
    }

    void buttonsMenuAndVanishedStation()
    {
        Stations().ConnectedKey = "CoffeeCorner;1";
        m_pSite->Refresh();
        QVERIFY(m_pSite->SelectRow("CoffeeCorner;1"));
        QVERIFY(!Button(CViewSite::IDC_CONNECT)->isEnabled());
        QVERIFY(Button(CViewSite::IDC_EDIT_CONN)->isEnabled());
        std::unique_ptr<QMenu> menu(m_pSite->CreateContextMenu());
        QVERIFY(menu != nullptr);
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.size(), 4);
        QCOMPARE(actions[0]->text(), QStringLiteral("&Connect"));
        QVERIFY(!actions[0]->isEnabled());
        QVERIFY(actions[1]->isEnabled());
        QVERIFY(actions[2]->isEnabled());
        QCOMPARE(actions[2]->property("ctrlId").toInt(), int(CViewSite::ID_SITE_EDIT_CONNECTION));

        QVERIFY(m_pSite->SelectRow("Lab5G;36"));
        QVERIFY(Button(CViewSite::IDC_CONNECT)->isEnabled());
        QVERIFY(!Button(CViewSite::IDC_EDIT_CONN)->isEnabled());
        menu.reset(m_pSite->CreateContextMenu());
        QVERIFY(menu->actions()[0]->isEnabled());
        QVERIFY(!menu->actions()[2]->isEnabled());

        // A row whose station is gone opens no menu, and its commands do
        // nothing.
        Stations().RemoveStation("Lab5G;36");
        menu.reset(m_pSite->CreateContextMenu());
        QVERIFY(menu == nullptr);
        m_pSite->OnConnect();
        m_pSite->OnSaveProfile();
        QCOMPARE(m_nSheets, 0);
        QVERIFY(TakeMessages().empty());
        QVERIFY(Stations().ConnectedKey == "CoffeeCorner;1");

        // Commands do nothing while the main lock is busy.
        QVERIFY(m_pSite->SelectRow("Neighbour;4"));
        {
            CSectionLock held(theApp(), Section::Main);
            QVERIFY(held);
            m_pSite->OnConnect();
        }
        QCOMPARE(Stations().ConnectedKey, std::string("CoffeeCorner;1"));
    }

    void rescanProgress()
    {
        auto now = std::chrono::steady_clock::now();
        m_pSite->SetClock([&now] { return now; });
        m_pSite->show();
        QVERIFY(!m_pSite->Progress()->isVisible());
        Button(CViewSite::IDC_RESCAN)->click();
        QVERIFY(m_pSite->Progress()->isVisible());
        QCOMPARE(m_pSite->Progress()->maximum(), 6);
        QCOMPARE(m_pSite->Progress()->value(), 0);
        now += std::chrono::seconds(2);
        m_pSite->RefreshHeld();
        QCOMPARE(m_pSite->Progress()->value(), 2);
        now += std::chrono::milliseconds(3900);
        m_pSite->RefreshHeld();
        QCOMPARE(m_pSite->Progress()->value(), 5);
        QVERIFY(m_pSite->Progress()->isVisible());
        now += std::chrono::milliseconds(100);
        m_pSite->RefreshHeld();
        QVERIFY(!m_pSite->Progress()->isVisible());
        m_pSite->hide();
    }

    void connectOpenNetwork()
    {
        AddProfile("First", "Elsewhere", true);
        QVERIFY(m_pSite->SelectRow("CoffeeCorner;1"));
        m_pSite->OnConnect();
        QCOMPARE(m_nSheets, 0);
        QVERIFY(TakeMessages().empty());
        QCOMPARE(Stations().ConnectedKey, std::string("CoffeeCorner;1"));
        QCOMPARE(theApp().ReadBackCountdown(), 2);
        QVERIFY(Store().GetCurrent() != nullptr);  // found again through the connected station
        const CProfile *profile = Store().FindByNetName("CoffeeCorner");
        QVERIFY(profile != nullptr);
        QVERIFY(profile->AutoSelect);
        QCOMPARE(profile->Priority, 1);
        QCOMPARE(theApp().GetProfileString(profile->Section, "NetName", ""), std::string("CoffeeCorner"));
        QCOMPARE(theApp().GetProfileInt(profile->Section, "Priority", -1), 1);
        QCOMPARE(theApp().GetProfileInt(profile->Section, "AutoSelect", 0), 1);
        // The connected row is coloured, and its buttons follow.
        QCOMPARE(m_pSite->ConnectedRowKey(), std::string("CoffeeCorner;1"));
        QVERIFY(!Button(CViewSite::IDC_CONNECT)->isEnabled());
        QString stats;
        QVERIFY(m_pSim->Control(QStringLiteral("stats"), &stats));
        QVERIFY(stats.contains(QStringLiteral("connected yes")));
    }

    void connectWepNetwork()
    {
        QVERIFY(m_pSite->SelectRow("Dovrel-Home;6"));
        // Cancel: nothing connects.
        Answer(nullptr, false);
        m_pSite->OnConnect();
        QCOMPARE(m_nSheets, 1);
        QCOMPARE(m_strCaption, QStringLiteral("Enter Security Parameters"));
        QVERIFY(Stations().ConnectedKey.empty());
        QVERIFY(Store().FindByNetName("Dovrel-Home") == nullptr);
        QVERIFY(TakeMessages().empty());

        // A wrong key: message 122, no connected station.
        Answer([](CEditProfile &s) { EnterKey104(s, QStringLiteral("00000000000000000000000000")); }, true);
        m_pSite->OnConnect();
        QCOMPARE(m_nSheets, 2);
        QCOMPARE(TakeMessages(), std::vector<std::string>{LoadString(IDS_STATION_CONNECT_FAILED)});
        QVERIFY(Stations().ConnectedKey.empty());
        QVERIFY(Store().FindByNetName("Dovrel-Home") == nullptr);

        // The right key, on a fresh record from the scan.
        Rebuild();
        QVERIFY(m_pSite->SelectRow("Dovrel-Home;6"));
        Answer([](CEditProfile &s) { EnterKey104(s, QStringLiteral("0123456789ABCDEF0123456789")); }, true);
        m_pSite->OnConnect();
        QCOMPARE(m_nSheets, 3);
        QVERIFY(TakeMessages().empty());
        QCOMPARE(Stations().ConnectedKey, std::string("Dovrel-Home;6"));
        const CProfile *profile = Store().FindByNetName("Dovrel-Home");
        QVERIFY(profile != nullptr);
        QCOMPARE(profile->ActiveSecKey, 0);
        QCOMPARE(profile->SecKey[0], std::string("0123456789ABCDEF0123456789"));
    }

    void saveAsProfile()
    {
        const std::size_t before = Store().GetCount();
        QVERIFY(m_pSite->SelectRow("LanParty;3"));
        std::string name;
        Answer([&name](CEditProfile &s) { name = s.ProfileName(); }, false);
        m_pSite->OnSaveProfile();
        QCOMPARE(m_strCaption, QStringLiteral("Save Connection to Profile"));
        QVERIFY(!name.empty());
        QCOMPARE(Store().GetCount(), before);
        QCOMPARE(theApp().GetProfileString(name, "ProfName", "gone"), std::string("gone"));

        AddProfile("A", "NetA", true);
        Answer([&name](CEditProfile &s) {
            name = s.ProfileName();
            s.GenPage()->Controls().Control(CEditProfileGen::IDC_AUTO_SELECT)->setProperty("checked", true);
        }, true);
        m_pSite->OnSaveProfile();
        // The core's operation saved it (its flow is tested there).
        QCOMPARE(theApp().GetProfileString(name, "NetName", ""), std::string("LanParty"));
        QCOMPARE(Store().Get(name)->Priority, 1);
        QVERIFY(Stations().ConnectedKey.empty());
    }

    void editConnectionWritesOnlySecurity()
    {
        QVERIFY(m_pSite->SelectRow("CoffeeCorner;1"));
        m_pSite->OnConnect();
        QCOMPARE(Stations().ConnectedKey, std::string("CoffeeCorner;1"));
        Answer([this](CEditProfile &s) {
            QVERIFY(s.IsEditConnection());
            QCOMPARE(s.ProfileName(), std::string(kEditStationName));
            EnterKey104(s, QStringLiteral("0123456789ABCDEF0123456789"));
            s.SecPage().Security()->setCurrentIndex(1);
            emit s.SecPage().Security()->activated(1);
            // From here on only what OK causes is logged (the sheet itself
            // reads the regulatory domain for its channel list).
            QVERIFY(m_pSim->Control(QStringLiteral("clear-log")));
        }, true);
        m_pSite->OnEditConnection();
        QCOMPARE(m_strCaption, QStringLiteral("Edit Connection Parameters"));
        QVERIFY(TakeMessages().empty());
        QString log;
        QVERIFY(m_pSim->Control(QStringLiteral("log"), &log));
        int security = 0;
        for (const QString &line : log.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList f = line.split(QLatin1Char(' '));
            QVERIFY2(f.size() >= 5 && f[1] == QStringLiteral("cmd"), qPrintable(line));
            QVERIFY2(f[3] == QStringLiteral("SECURITY") || f[3] == QStringLiteral("WEP_KEY"), qPrintable(line));
            security += f[3] == QStringLiteral("SECURITY") && f[4] == QStringLiteral("write") ? 1 : 0;
        }
        QCOMPARE(security, 1);
        QVERIFY(log.contains(QStringLiteral("WEP_KEY write")));
        // The profile store is not changed by an edit of the connection.
        QCOMPARE(Store().FindByNetName("CoffeeCorner")->SecType, 0);

        // A driver that does not answer: message 115.
        QVERIFY(m_pSim->Control(QStringLiteral("vanish")));
        m_pSite->OnEditConnection();
        QCOMPARE(TakeMessages(), std::vector<std::string>{LoadString(IDS_DRIVER_ERROR)});
        QVERIFY(m_pSim->Control(QStringLiteral("appear")));
    }

    void adHocJoinUsesTheSeenChannel()
    {
        QVERIFY(m_pSite->SelectRow("LanParty;3"));
        // Nobody runs it any more: the adapter starts it on the channel the
        // list showed.
        QVERIFY(m_pSim->Control(QStringLiteral("remove-network LanParty")));
        QVERIFY(m_pSim->Control(QStringLiteral("clear-log")));
        m_pSite->OnConnect();
        QVERIFY(TakeMessages().empty());
        QCOMPARE(Stations().ConnectedKey, std::string("LanParty;3"));
        QString log;
        QVERIFY(m_pSim->Control(QStringLiteral("log"), &log));
        QVERIFY2(log.contains(QRegularExpression(QStringLiteral("CHANNEL write 2 3 "))), qPrintable(log));
        QString stats;
        QVERIFY(m_pSim->Control(QStringLiteral("stats"), &stats));
        QVERIFY(stats.contains(QStringLiteral("connected yes")));
        // The profile stores the channel as its list index.
        QCOMPARE(Store().FindByNetName("LanParty")->PhyChnl, 2);
    }
};

QTEST_MAIN(TestViewSite)
#include "tst_viewsite.moc"
