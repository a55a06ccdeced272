// The Profiles page: the two lists and their order, priorities, auto-
// selection, delete under the main lock, the shared edit procedure, the
// connected mark, Connect against a real adapter-sim, and export and import
// of hive files (read back with hivexget).
#include <QtTest>

#include <QAction>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

#include "EditContext.h"
#include "EditProfile.h"
#include "KestrowApp.h"
#include "SectionLock.h"
#include "MainProfile.h"
#include "ProfileMngr.h"
#include "SimAdapter.h"
#include "Station.h"
#include "StationMngr.h"
#include "StringTable.h"

using namespace kestrow;
using namespace kestrow::test;

namespace {
// One adapter and two networks: an open one and one with a 40-bit WEP key.
const QString kScenario = QStringLiteral("[adapter sim0]\n"
                                         "scan_time = 1\n"
                                         "[network]\n"
                                         "ssid = KestrowNet\n"
                                         "bssid = 00:11:22:33:44:55\n"
                                         "channel = 6\n"
                                         "phy = g\n"
                                         "signal = -61\n"
                                         "drift = 0\n"
                                         "[network]\n"
                                         "ssid = SecureNet\n"
                                         "bssid = 00:11:22:33:44:77\n"
                                         "channel = 1\n"
                                         "phy = g\n"
                                         "security = wep\n"
                                         "wep_key = 0 0123456789\n"
                                         "signal = -55\n"
                                         "drift = 0\n");
} // namespace

class TestProfilesPage : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CSimAdapter> m_pSim;
    std::unique_ptr<CRecordingSink> m_pSink;
    std::unique_ptr<CMainProfile> m_pPage;

    static CProfileMngr &Store() { return *theApp().ProfileMngr(); }

    static CProfile &Add(const char *name, const char *ssid, bool member)
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
    // Names of a list's rows, top to bottom.
    static QStringList Rows(QTreeWidget *list)
    {
        QStringList names;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            names << list->topLevelItem(i)->text(0);
        }
        return names;
    }
    static int Priority(const char *name) { return Store().Get(name)->Priority; }
    void Select(const char *name) { QVERIFY(m_pPage->SelectProfile(name)); }
    std::vector<std::string> TakeMessages()
    {
        std::vector<std::string> m;
        m.swap(m_pSink->Messages);
        return m;
    }
    // Three members A, B, C (priorities 0..2) and one other profile D.
    void AddFour()
    {
        Add("A", "NetA", true);
        Add("B", "NetB", true);
        Add("C", "NetC", true);
        Add("D", "NetD", false);
        m_pPage->Refresh();
    }

private slots:
    void init()
    {
        m_pSim = std::make_unique<CSimAdapter>();
        m_pSink = std::make_unique<CRecordingSink>();
        QVERIFY(theApp().CreateMainLock());
        theApp().SetProfileMngr(std::make_unique<CProfileMngr>());
        m_pPage = std::make_unique<CMainProfile>();
        m_pPage->resize(600, 400);
        m_pPage->OnSetActive();
    }
    void cleanup()
    {
        m_pPage.reset();
        m_pSim.reset();
        m_pSink.reset();
    }

    void listsAndPriorities()
    {
        AddFour();
        QCOMPARE(Rows(m_pPage->AutoList()), (QStringList{"A", "B", "C"}));
        QCOMPARE(Rows(m_pPage->OtherList()), QStringList{"D"});
        QCOMPARE(m_pPage->AutoList()->topLevelItem(1)->text(1), QStringLiteral("NetB"));
        QCOMPARE(m_pPage->AutoList()->topLevelItem(1)->text(2), QStringLiteral("None"));
        auto *up = qobject_cast<QToolButton *>(m_pPage->Controls().Control(CMainProfile::IDC_UP));
        auto *down = qobject_cast<QToolButton *>(m_pPage->Controls().Control(CMainProfile::IDC_DOWN));

        Select("A");
        QVERIFY(!up->isEnabled());
        QVERIFY(down->isEnabled());
        m_pPage->OnPriorityUp();
        Select("C");
        QVERIFY(up->isEnabled());
        QVERIFY(!down->isEnabled());
        m_pPage->OnPriorityDown();
        QCOMPARE(Rows(m_pPage->AutoList()), (QStringList{"A", "B", "C"}));
        m_pPage->OnPriorityUp();
        QCOMPARE(Priority("C"), 1);
        QCOMPARE(Priority("B"), 2);
        QCOMPARE(Rows(m_pPage->AutoList()), (QStringList{"A", "C", "B"}));
        // The selection follows the moved profile; the order was saved.
        QCOMPARE(m_pPage->SelectedName(), std::string("C"));
        QCOMPARE(theApp().GetProfileInt(Store().Get("B")->Section, "Priority", -5), 2);
    }

    void toggleAndDelete()
    {
        AddFour();
        Select("B");
        std::unique_ptr<QMenu> menu(m_pPage->CreateContextMenu());
        QVERIFY(menu);
        QCOMPARE(menu->actions().at(6)->text(), QStringLiteral("Remove from Au&to-Selection"));
        m_pPage->OnToggleAutoSelect();
        QCOMPARE(Rows(m_pPage->AutoList()), (QStringList{"A", "C"}));
        QCOMPARE(Rows(m_pPage->OtherList()), (QStringList{"B", "D"}));
        QCOMPARE(Priority("C"), 1);
        QCOMPARE(Priority("B"), -1);
        QCOMPARE(Store().GetAutoSelectCount(), 2);
        Select("B");
        menu.reset(m_pPage->CreateContextMenu());
        QCOMPARE(menu->actions().at(6)->text(), QStr(LoadString(IDS_ADD_AUTO_SELECTION)));
        QCOMPARE(menu->actions().at(6)->property("ctrlId").toInt(), int(CMainProfile::ID_PROFILE_ADD_AUTO));

        // Delete does nothing while the main lock is held.
        Select("D");
        const std::string section = Store().Get("D")->Section;
        {
            CSectionLock held(theApp(), Section::Main);
            QVERIFY(held);
            m_pPage->OnDelete();
        }
        QVERIFY(Store().Get("D") != nullptr);
        m_pPage->OnDelete();
        QVERIFY(Store().Get("D") == nullptr);
        QCOMPARE(Priority("A"), 0);
        QCOMPARE(Priority("C"), 1);
        QCOMPARE(theApp().GetProfileString(section, "ProfName", "gone"), std::string("gone"));
        // Without a selected row a command does nothing.
        m_pPage->OtherList()->clearSelection();
        m_pPage->SetActiveList(m_pPage->OtherList());
        m_pPage->OnDelete();
        QCOMPARE(Store().GetCount(), std::size_t(3));
    }

    void newEditAndCancel()
    {
        AddFour();
        // New, cancelled after Apply has renamed it: record and key go.
        m_pPage->SetSheetRunner([](CEditProfile &sheet) {
            sheet.GenPage()->Controls().SetItemText(CEditProfileGen::IDC_NAME, QStringLiteral("Temp"));
            sheet.GenPage()->Controls().SetItemText(CEditProfileGen::IDC_SSID, QStringLiteral("TempNet"));
            return sheet.OnApplyNow() ? int(QDialog::Rejected) : -1;
        });
        m_pPage->OnNew();
        QVERIFY(Store().Get("Temp") == nullptr);
        QCOMPARE(Store().GetCount(), std::size_t(4));
        QCOMPARE(theApp().GetProfileString("Profile 4", "ProfName", "gone"), std::string("gone"));

        // New, OK as a member: it takes the next slot and is saved.
        m_pPage->SetSheetRunner([](CEditProfile &sheet) {
            sheet.GenPage()->Controls().SetItemText(CEditProfileGen::IDC_NAME, QStringLiteral("E"));
            sheet.GenPage()->Controls().SetItemText(CEditProfileGen::IDC_SSID, QStringLiteral("NetE"));
            sheet.GenPage()->Controls().Control(CEditProfileGen::IDC_AUTO_SELECT)->setProperty("checked", true);
            sheet.OnOK();
            return sheet.result();
        });
        m_pPage->OnNew();
        QCOMPARE(Priority("E"), 3);
        QCOMPARE(Rows(m_pPage->AutoList()), (QStringList{"A", "B", "C", "E"}));
        QCOMPARE(theApp().GetProfileString(Store().Get("E")->Section, "NetName", ""), std::string("NetE"));

        // Edit that leaves auto-selection closes the gap.
        Select("B");
        m_pPage->SetSheetRunner([](CEditProfile &sheet) {
            sheet.GenPage()->Controls().Control(CEditProfileGen::IDC_AUTO_SELECT)->setProperty("checked", false);
            sheet.OnOK();
            return sheet.result();
        });
        m_pPage->OnEdit();
        QCOMPARE(Priority("B"), -1);
        QCOMPARE(Priority("C"), 1);
        QCOMPARE(Priority("E"), 2);

        // Duplicate, OK: a copy outside auto-selection.
        Select("A");
        m_pPage->SetSheetRunner([](CEditProfile &sheet) {
            sheet.OnOK();
            return sheet.result();
        });
        m_pPage->OnDuplicate();
        QCOMPARE(Store().GetCount(), std::size_t(6));
        QCOMPARE(Store().Get(CEditContext::GetProfileName())->NetName, std::string("NetA"));
    }

    void connectedMarkFollowsTheNetwork()
    {
        AddFour();
        theApp().SetStationMngr(std::make_unique<CStationMngr>(theApp(), *theApp().ProfileMngr()));
        CStationMngr &stations = *theApp().StationMngr();
        for (const char *net : {"NetC", "NetD"}) {
            CProfile seen;
            seen.NetName = net;
            auto station = std::make_unique<CStation>(seen, nullptr, -60);
            stations.SetConnected(station.get());
            stations.AddStation(std::move(station));
            m_pPage->Refresh();
            for (const char *name : {"A", "B", "C", "D"}) {
                QCOMPARE(m_pPage->IsMarkedConnected(name), Store().Get(name)->NetName == net);
            }
        }
        // An ad hoc network started here: the current profile is marked.
        stations.SetConnected(nullptr);
        theApp().SetAdHocConnected(true);
        Store().SetCurrent(Store().Get("B"), false);
        m_pPage->Refresh();
        QVERIFY(m_pPage->IsMarkedConnected("B"));
        QVERIFY(!m_pPage->IsMarkedConnected("D"));
    }

    void connectAgainstTheAdapter()
    {
        QVERIFY(m_pSim->Start(kScenario));
        CKestrowApp &app = theApp();
        QVERIFY(app.ConnectDriver());
        app.SetStationMngr(std::make_unique<CStationMngr>(app, *app.ProfileMngr()));
        Add("Open", "KestrowNet", false);
        CProfile &wep = Add("Wep", "SecureNet", false);
        wep.SecType = 1;
        wep.ActiveSecKey = 0;
        wep.SecKey[0] = "0123456789";
        CProfile &wrong = Add("Wrong", "SecureNet", false);
        wrong.SecType = 1;
        wrong.ActiveSecKey = 0;
        wrong.SecKey[0] = "0123456780";
        Add("Absent", "NoSuchNet", false);
        m_pPage->Refresh();

        for (const char *name : {"Open", "Wep"}) {
            app.SetReadBackCountdown(-1);
            app.TakeFullRefresh();
            Select(name);
            m_pPage->OnConnect();
            QVERIFY2(TakeMessages().empty(), name);
            QCOMPARE(app.ReadBackCountdown(), 2);
            QVERIFY(app.FullRefreshRequested());
            QCOMPARE(QString::fromStdString(app.StationMngr()->ConnectedKey),
                     QStringLiteral("%1;%2").arg(QString::fromStdString(Store().Get(name)->NetName)).arg(1));
        }
        for (const char *name : {"Wrong", "Absent"}) {
            Select(name);
            m_pPage->OnConnect();
            QCOMPARE(TakeMessages(), std::vector<std::string>{LoadString(IDS_PROFILE_CONNECT_FAILED)});
            QVERIFY(app.StationMngr()->ConnectedKey.empty());
            QVERIFY(Store().GetCurrent() == nullptr);
        }
    }

    void exportAndImportHiveFiles()
    {
        const QString hivexget = QStandardPaths::findExecutable(QStringLiteral("hivexget"));
        QVERIFY2(!hivexget.isEmpty(), "hivexget (libhivex-bin) is needed");
        auto get = [&](const QString &file, const QString &key, const QString &value) {
            QProcess p;
            p.start(hivexget, {file, key, value});
            return p.waitForFinished(30000) && p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput()).trimmed()
                                                                : QStringLiteral("<failed>");
        };
        AddFour();
        Store().SaveAll();
        QString chosen;
        m_pPage->SetFileChooser([&chosen](bool) { return chosen; });

        Select("B");
        chosen = m_pSim->Path(QStringLiteral("one"));
        m_pPage->OnExport();
        const QString one = m_pSim->Path(QStringLiteral("one.reg"));
        QVERIFY(QFile::exists(one));
        QCOMPARE(get(one, QStringLiteral("\\"), QStringLiteral("ProfName")), QStringLiteral("B"));
        QCOMPARE(get(one, QStringLiteral("\\"), QStringLiteral("NetName")), QStringLiteral("NetB"));
        // Exporting again over the confirmed file replaces it.
        Store().Get("B")->NetName = "NetB2";
        Store().SaveAll();
        chosen = one;
        m_pPage->OnExport();
        QVERIFY(TakeMessages().empty());
        QCOMPARE(get(one, QStringLiteral("\\"), QStringLiteral("NetName")), QStringLiteral("NetB2"));

        // Import and export of all need no selected row.
        m_pPage->AutoList()->clearSelection();
        m_pPage->OtherList()->clearSelection();
        m_pPage->OnImport();
        QCOMPARE(Store().GetCount(), std::size_t(5));
        const CProfile *imported = Store().Get("Profile 4");
        QVERIFY(imported != nullptr);
        QCOMPARE(imported->NetName, std::string("NetB2"));
        QVERIFY(!imported->AutoSelect);
        QVERIFY(Rows(m_pPage->OtherList()).contains(QStringLiteral("Profile 4")));

        chosen = m_pSim->Path(QStringLiteral("all"));
        m_pPage->OnExportAll();
        const QString all = m_pSim->Path(QStringLiteral("all.reg"));
        QCOMPARE(get(all, QStringLiteral("\\"), QStringLiteral("NumOfProfiles")), QStringLiteral("5"));
        QCOMPARE(get(all, QStringLiteral("\\Profile 4"), QStringLiteral("ProfName")), QStringLiteral("Profile 4"));
        QCOMPARE(CMainProfile::HiveFileName(QStringLiteral("x.regfile")), QStringLiteral("x.regfile"));

        // A file that is not a hive is refused with a message, nothing added.
        QFile junk(m_pSim->Path(QStringLiteral("junk.reg")));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a hive") > 0);
        junk.close();
        chosen = junk.fileName();
        m_pPage->OnImport();
        QCOMPARE(TakeMessages().size(), std::size_t(1));
        QCOMPARE(Store().GetCount(), std::size_t(5));
    }
};

QTEST_MAIN(TestProfilesPage)
#include "tst_profilespage.moc"
