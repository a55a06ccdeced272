// The Profiles page: its profile model and the two lists over it, how its
// buttons, menu, double click and file dialog are bound to the core's
// profile operations (whose behaviour is tested in kestrow/core), the
// connected mark, and Connect without an adapter.
#include <QtTest>

#include <QAction>
#include <QMenu>
#include <QFile>
#include <QToolButton>
#include <QTreeView>

#include <memory>

#include "AdapterState.h"
#include "EditProfile.h"
#include "KestrowApp.h"
#include "MainProfile.h"
#include "ProfileMngr.h"
#include "Station.h"
#include "StationMngr.h"
#include "StringTable.h"
#include "UiFixture.h"

using namespace kestrow;
using namespace kestrow::test;

class TestProfilesPage : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CUiFixture> m_pFix;
    std::unique_ptr<CMainProfile> m_pPage;

    // Names of a list's rows, top to bottom.
    static QStringList Rows(QTreeView *list)
    {
        QStringList names;
        for (int i = 0; i < list->model()->rowCount(); ++i)
            names << list->model()->index(i, 0).data().toString();
        return names;
    }
    QWidget *Control(int id) { return m_pPage->Controls().Control(id); }
    void Select(const char *name) { QVERIFY(m_pPage->SelectProfile(name)); }

private slots:
    void init()
    {
        m_pFix = std::make_unique<CUiFixture>();
        QVERIFY(theApp().CreateMainLock());
        theApp().SetProfileMngr(std::make_unique<CProfileMngr>());
        // Three members A, B, C (priorities 0..2) and one other profile D.
        for (const char *name : {"A", "B", "C", "D"}) {
            Store().Rename(Store().AddNew(nullptr), name);
            CProfile &p = *Store().Get(name);
            p.NetName = std::string("Net") + name;
            p.NetMode = true;
            p.AutoSelect = *name != 'D';
            p.Priority = p.AutoSelect ? Store().UpdatePriorities(-1) : -1;
        }
        m_pPage = std::make_unique<CMainProfile>();
        m_pPage->resize(600, 400);
        m_pPage->OnSetActive();
    }
    void cleanup()
    {
        m_pPage.reset();
        m_pFix.reset();
    }

    void listsArrowsAndMenu()
    {
        QCOMPARE(Rows(m_pPage->AutoList()), (QStringList{"A", "B", "C"}));
        QCOMPARE(Rows(m_pPage->OtherList()), QStringList{"D"});
        QCOMPARE(m_pPage->AutoList()->model()->index(1, 1).data().toString(), QStringLiteral("NetB"));
        QCOMPARE(m_pPage->AutoList()->model()->index(1, 2).data().toString(), QStringLiteral("None"));
        Select("A");
        QVERIFY(!Control(CMainProfile::IDC_UP)->isEnabled() && Control(CMainProfile::IDC_DOWN)->isEnabled());
        Select("C");
        QVERIFY(Control(CMainProfile::IDC_UP)->isEnabled() && !Control(CMainProfile::IDC_DOWN)->isEnabled());

        std::unique_ptr<QMenu> menu(m_pPage->CreateContextMenu());
        QCOMPARE(menu->actions().at(6)->text(), QStringLiteral("Remove from Au&to-Selection"));
        Select("D");
        menu.reset(m_pPage->CreateContextMenu());
        QCOMPARE(menu->actions().at(6)->text(), QStr(LoadString(IDS_ADD_AUTO_SELECTION)));
        QCOMPARE(menu->actions().at(6)->property("ctrlId").toInt(), int(CMainProfile::ID_PROFILE_ADD_AUTO));
        // Without a selected row a command does nothing.
        m_pPage->OtherList()->clearSelection();
        m_pPage->OnDelete();
        QCOMPARE(Store().GetCount(), std::size_t(4));
    }

    void commandsRunTheOperationsAndRefill()
    {
        Select("C");
        qobject_cast<QToolButton *>(Control(CMainProfile::IDC_UP))->click();
        QCOMPARE(Rows(m_pPage->AutoList()), (QStringList{"A", "C", "B"}));
        m_pPage->OnToggleAutoSelect();  // on C: the selection followed it
        QCOMPARE(Rows(m_pPage->OtherList()), (QStringList{"C", "D"}));

        // Edit: the sheet gets the caption and record, a rename shows.
        Select("A");
        QString caption;
        m_pPage->SetSheetRunner([&caption](CEditProfile &sheet) {
            caption = sheet.windowTitle();
            sheet.GenPage()->Controls().SetItemText(CEditProfileGen::IDC_NAME, QStringLiteral("Z"));
            sheet.OnOK();
            return sheet.result();
        });
        m_pPage->OnEdit();
        QCOMPARE(caption, QStringLiteral("Profile Configuration: A"));
        QCOMPARE(Rows(m_pPage->AutoList()), (QStringList{"Z", "B"}));
        Select("D");
        m_pPage->OnDelete();
        QCOMPARE(Rows(m_pPage->OtherList()), QStringList{"C"});

        // Export to the file the dialog chose.
        const QString one = QString::fromStdString(m_pFix->dir.File("one.reg"));
        m_pPage->SetFileChooser([&one](bool save) { return save ? one : QString(); });
        m_pPage->OnExportAll();
        QVERIFY(m_pFix->TakeMessages().empty() && QFile::exists(one));
    }

    void doubleClickConnects()
    {
        // The adapter is taken for there but does not answer: the connect
        // fails with its message (and the failed open marks it removed).
        for (QTreeView *list : {m_pPage->AutoList(), m_pPage->OtherList()}) {
            theApp().SetAdapterState(AdapterState::Present);
            const QRect row = list->visualRect(list->model()->index(0, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
            // A full refresh between the two clicks changes no row.
            m_pPage->Refresh();
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
            QCOMPARE(m_pFix->TakeMessages(), Texts{LoadString(IDS_PROFILE_CONNECT_FAILED)});
            QCOMPARE(m_pPage->ActiveList(), list);
        }
        // Known to be gone: the page says so instead.
        theApp().SetAdapterState(AdapterState::Removed);
        Select("A");
        m_pPage->OnConnect();
        QCOMPARE(m_pFix->TakeMessages(), Texts{kNoAdapterMessage});
    }

    void connectedMarkFollowsTheNetwork()
    {
        theApp().SetStationMngr(std::make_unique<CStationMngr>(theApp(), *theApp().ProfileMngr()));
        CStationMngr &stations = *theApp().StationMngr();
        for (const char *net : {"NetC", "NetD"}) {
            CProfile seen;
            seen.NetName = net;
            auto station = std::make_unique<CStation>(seen, nullptr, -60);
            stations.SetConnected(station.get());
            stations.AddStation(std::move(station));
            m_pPage->Refresh();
            for (const char *name : {"A", "B", "C", "D"})
                QCOMPARE(m_pPage->IsMarkedConnected(name), Store().Get(name)->NetName == net);
        }
        // An ad hoc network started here: the current profile is marked.
        stations.SetConnected(nullptr);
        theApp().SetAdHocConnected(true);
        Store().SetCurrent(Store().Get("B"), false);
        m_pPage->Refresh();
        QVERIFY(m_pPage->IsMarkedConnected("B") && !m_pPage->IsMarkedConnected("D"));
    }
};

QTEST_MAIN(TestProfilesPage)
#include "tst_profilespage.moc"
