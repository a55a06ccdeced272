// The site survey: the station model and its two views (byte-wise sorting,
// selection kept across updates, network grouping, icons and the connected
// row) on rows made here, and the Available Networks dialog's commands
// against a real adapter-sim playing the default scenario.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include <memory>
#include <vector>

#include "AdapterState.h"
#include "ApViewProxy.h"
#include "EditProfile.h"
#include "EditProfileSec.h"
#include "KestrowApp.h"
#include "MSMask.h"
#include "NetViewProxy.h"
#include "ProfileMngr.h"
#include "SectionLock.h"
#include "Station.h"
#include "StationMngr.h"
#include "StationModel.h"
#include "StringTable.h"
#include "UiFixture.h"
#include "ViewSite.h"

using namespace kestrow;
using namespace kestrow::test;
using Keys = std::vector<std::string>;

namespace {

// A row of the access-point view as the survey makes it; the link quality
// cell is the text the sort sees, so it is kept simple here.
CSurveyRow Row(const std::string &name, int channel, int dBm, bool connected = false)
{
    CSurveyRow row;
    row.stationKey = row.rowKey = name + ";" + std::to_string(channel);
    row.cells = {std::to_string(-dBm), name, "Infrastructure", "None", std::to_string(channel), "54 Mbps", "-"};
    row.linkQuality = dBm;
    row.connected = row.connectedRow = connected;
    return row;
}

Keys KeysOf(const CApViewProxy &view)
{
    Keys keys;
    for (int r = 0; r < view.rowCount(); ++r)
        keys.push_back(view.RowKey(view.mapToSource(view.index(r, 0)).row()));
    return keys;
}

QImage Picture(const QVariant &icon) { return icon.value<QIcon>().pixmap(16, 16).toImage(); }
QImage Picture(int image) { return Picture(CStationModel::RowIcon(image)); }

} // namespace

class TestViewSite : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CUiFixture> m_pFix;
    std::unique_ptr<CViewSite> m_pSite;
    QString m_strCaption;

    static CStationMngr &Stations() { return *theApp().StationMngr(); }
    QPushButton *Button(int id) const { return qobject_cast<QPushButton *>(m_pSite->Controls().Control(id)); }

    // Sheets are recorded and answered with OK (after `edit`) or Cancel.
    void Answer(std::function<void(CEditProfile &)> edit, bool ok)
    {
        m_pSite->SetSheetRunner([this, edit, ok](CEditProfile &sheet) {
            m_strCaption = sheet.windowTitle();
            if (edit)
                edit(sheet);
            if (!ok)
                return int(QDialog::Rejected);
            sheet.OnOK();
            return sheet.result();
        });
    }
    static void EnterKey104(CEditProfile &sheet)
    {
        CEditProfileSec &sec = sheet.SecPage();
        sec.KeySize(0)->setCurrentIndex(1);
        emit sec.KeySize(0)->activated(1);
        sec.KeyField(0)->SetKeyText(QStringLiteral("0123456789ABCDEF0123456789"));  // complete: the active key
    }

private slots:
    void init()
    {
        m_pFix = std::make_unique<CUiFixture>();
        QVERIFY(theApp().CreateMainLock());
        theApp().SetProfileMngr(std::make_unique<CProfileMngr>());
        m_pSite = std::make_unique<CViewSite>();
        Answer(nullptr, false);
    }
    void cleanup()
    {
        m_pSite.reset();
        m_pFix.reset();
    }

    void sortIsByteWiseWithTheKeyAfterTheText()
    {
        CStationModel model;
        CApViewProxy view(model);
        model.Apply({Row("Campus", 6, -60), Row("x;y", 6, -60), Row("\xe9t\xe9", 6, -60), Row("Campus", 11, -60),
                     Row("x;y -- \"z\"", 6, -60), Row("Caf\xc3\xa9", 6, -60), Row("Campus", 1, -60), Row("", 6, -60)});
        // Names: the text, " -- " and the key decide; bytes compare unsigned.
        view.sort(1, Qt::AscendingOrder);
        const Keys byName{";6", "Caf\xc3\xa9;6", "Campus;1", "Campus;11", "Campus;6", "x;y -- \"z\";6", "x;y;6", "\xe9t\xe9;6"};
        QCOMPARE(KeysOf(view), byName);
        // Channels as text: "1" < "11" < "6", equal texts by key.
        view.sort(4, Qt::AscendingOrder);
        QCOMPARE(KeysOf(view), (Keys{"Campus;1", "Campus;11", ";6", "Caf\xc3\xa9;6", "Campus;6", "x;y -- \"z\";6",
                                     "x;y;6", "\xe9t\xe9;6"}));
        // Shown names: UTF-8 when valid, Latin-1 otherwise; none: said so.
        QCOMPARE(view.index(2, 1).data().toString(), QStringLiteral("(hidden network)"));
        QCOMPARE(view.index(3, 1).data().toString(), QStringLiteral("Caf\u00e9"));
        QCOMPARE(view.index(7, 1).data().toString(), QStringLiteral("\u00e9t\u00e9"));
    }

    void updatesKeepRowsAndSelection()
    {
        CStationModel model;
        CApViewProxy view(model);
        QTreeView list;
        list.setModel(&view);
        view.sort(0, Qt::AscendingOrder);
        model.Apply({Row("A", 1, -60), Row("B", 1, -70), Row("C", 1, -80), Row("D", 1, -50)});
        list.setCurrentIndex(view.IndexOfKey("C;1"));  // the row selected
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        // C gets stronger and moves up; B goes; E comes; A and D stay (a
        // reset would lose the selection).
        model.Apply({Row("D", 1, -50), Row("E", 1, -90), Row("C", 1, -55), Row("A", 1, -60)});
        QCOMPARE((QList<int>{int(changed.count()), int(removed.count()), int(inserted.count())}),
                 (QList<int>{1, 1, 1}));
        QCOMPARE(KeysOf(view), (Keys{"D;1", "C;1", "A;1", "E;1"}));
        QCOMPARE(list.selectionModel()->selectedRows(), QModelIndexList{view.IndexOfKey("C;1")});
        QCOMPARE(list.currentIndex(), view.IndexOfKey("C;1"));
        // The same rows again change nothing.
        model.Apply({Row("A", 1, -60), Row("C", 1, -55), Row("D", 1, -50), Row("E", 1, -90)});
        QCOMPARE(changed.count(), 1);
    }

    void networkViewGroupsByNameWithIconsAndColour()
    {
        CStationModel model;
        CNetViewProxy net(model);
        CApViewProxy ap(model);
        net.sort(1, Qt::AscendingOrder);
        model.Apply({Row("Campus", 6, -90, true), Row("Campus", 11, -71), Row("Lab", 36, -81), Row("Campus", 1, -67),
                     Row("Dim", 1, -82)});
        QCOMPARE(KeysOf(net), (Keys{"Campus", "Dim", "Lab"}));
        // The first station in key order stands for the name (which one
        // when the stations change: dialogKeepsItsRow...); the row is
        // coloured for the connected station of its name, the icon is its own.
        const QModelIndex campus = net.IndexOfKey("Campus");
        QCOMPARE(campus.data(Qt::BackgroundRole).value<QColor>(), CStationModel::kConnectedColour);
        QCOMPARE(Picture(campus.data(Qt::DecorationRole)), Picture(CStationModel::IMG_EXCELLENT));
        QVERIFY(!net.IndexOfKey("Lab").data(Qt::BackgroundRole).isValid());
        // Icons by level (the thresholds' both sides) and for the connected row.
        const std::pair<const char *, int> icons[] = {
            {"Campus;1", CStationModel::IMG_EXCELLENT}, {"Campus;11", CStationModel::IMG_GOOD},
            {"Lab;36", CStationModel::IMG_FAIR}, {"Dim;1", CStationModel::IMG_POOR},
            {"Campus;6", CStationModel::IMG_CONNECTED}};
        for (const auto &[key, image] : icons) {
            const QModelIndex index = ap.IndexOfKey(key);
            QCOMPARE(Picture(index.data(Qt::DecorationRole)), Picture(image));
            QCOMPARE(index.siblingAtColumn(2).data(Qt::BackgroundRole).isValid(), image == CStationModel::IMG_CONNECTED);
        }
        QVERIFY(Picture(1) != Picture(4));
    }

    void dialogKeepsItsRowThroughViewsAndUpdates()
    {
        // Without a station list the dialog's own refreshes bring no rows.
        const std::vector<CSurveyRow> three{Row("Campus", 1, -60), Row("Campus", 6, -70, true), Row("Lab", 36, -60)};
        m_pSite->ApplyStations(three);
        QVERIFY(m_pSite->SelectRow("Campus;6"));
        QVERIFY(!Button(CViewSite::IDC_CONNECT)->isEnabled());
        QVERIFY(Button(CViewSite::IDC_EDIT_CONN)->isEnabled());
        std::unique_ptr<QMenu> menu(m_pSite->CreateContextMenu());
        QVERIFY(!menu->actions()[0]->isEnabled());
        QCOMPARE(menu->actions()[2]->property("ctrlId").toInt(), int(CViewSite::ID_SITE_EDIT_CONNECTION));

        m_pSite->OnToggleView();
        QCOMPARE(theApp().GetProfileInt("", kViewPreference, -1), 1);
        QCOMPARE(m_pSite->List()->model()->columnCount(), 4);
        m_pSite->ApplyStations(three);  // the next refresh fills the new view
        QVERIFY(m_pSite->SelectRow("Campus"));
        // The name's standing station goes and comes back: the row stays picked.
        m_pSite->ApplyStations({Row("Campus", 6, -70, true), Row("Lab", 36, -60)});
        QCOMPARE(m_pSite->SelectedStationKey(), std::string("Campus;6"));
        m_pSite->ApplyStations({Row("Lab", 36, -60)});
        QCOMPARE(m_pSite->SelectedRowKey(), std::string("Lab"));
        m_pSite->ApplyStations({Row("Campus", 1, -60), Row("Lab", 36, -60)});
        QCOMPARE(m_pSite->SelectedRowKey(), std::string("Campus"));
        m_pSite->OnToggleView();
        QCOMPARE(m_pSite->List()->model()->columnCount(), 7);
    }

    void adapterLabelCommandsAndRescanProgress()
    {
        theApp().SetAdapterState(AdapterState::Removed);
        m_pSite->ApplyStations({});
        QCOMPARE(m_pSite->AdapterLabel()->text(), QStringLiteral("The wireless adapter was removed"));
        QVERIFY(!m_pSite->AdapterLabel()->isHidden());
        m_pSite->OnRescan();
        m_pSite->OnConnect();
        QCOMPARE(m_pFix->TakeMessages(), (Keys{kNoAdapterMessage, kNoAdapterMessage}));
        QVERIFY(m_pSite->Progress()->isHidden());
        // With an adapter the scan's progress runs with the clock.
        theApp().SetAdapterState(AdapterState::Present);
        auto now = std::chrono::steady_clock::now();
        m_pSite->SetClock([&now] { return now; });
        m_pSite->show();
        Button(CViewSite::IDC_RESCAN)->click();
        m_pSite->ApplyStations({});
        QVERIFY(m_pSite->AdapterLabel()->isHidden());
        QVERIFY(m_pSite->Progress()->isVisible());
        now += std::chrono::milliseconds(5900);
        m_pSite->ApplyStations({});
        QCOMPARE(m_pSite->Progress()->value(), 5);
        now += std::chrono::milliseconds(100);
        m_pSite->ApplyStations({});
        QVERIFY(!m_pSite->Progress()->isVisible());
    }

    // The join itself is the core's (tested with kestrowctl); the dialog
    // asks for a key only where one is needed, passes the sheet's key, and
    // an edit of the connection writes only the security settings.
    void connectEditAndSaveScannedNetworks()
    {
        // The default scenario with an instant scan, its rows in the dialog.
        std::string scenario = ktest::ReadFile(KESTROW_TEST_DEFAULT_SCENARIO);
        scenario.replace(scenario.find("scan_time = 2000"), 16, "scan_time = 1");
        QVERIFY(m_pFix->Start(scenario));
        theApp().SetAdapterState(AdapterState::Present);
        theApp().SetStationMngr(std::make_unique<CStationMngr>(theApp(), *theApp().ProfileMngr()));
        QTRY_VERIFY_WITH_TIMEOUT(!Stations().UpdateFromScan() && Stations().GetCount() == 13, 10000);
        m_pSite->Refresh();
        QVERIFY(m_pSite->SelectRow("CoffeeCorner;1"));
        {
            CSectionLock held(theApp(), Section::Main);  // busy: nothing is joined
            QVERIFY(held);
            m_pSite->OnConnect();
        }
        QVERIFY(Stations().ConnectedKey.empty());
        m_pSite->OnConnect();  // an open network: no sheet
        QCOMPARE(Stations().ConnectedKey, std::string("CoffeeCorner;1"));

        Answer([this](CEditProfile &s) {
            EnterKey104(s);
            s.SecPage().Security()->setCurrentIndex(1);
            emit s.SecPage().Security()->activated(1);
            QVERIFY(m_pFix->sim.Ctl("clear-log"));  // from here on only what OK causes
        }, true);
        m_pSite->OnEditConnection();
        QCOMPARE(m_strCaption, QStringLiteral("Edit Connection Parameters"));
        QVERIFY(m_pFix->TakeMessages().empty());
        std::string log;
        QVERIFY(m_pFix->sim.Ctl("log", &log));
        const QStringList sent = QString::fromStdString(log).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(sent.filter(QRegularExpression(QStringLiteral("^\\S+ cmd \\S+ (SECURITY|WEP_KEY) "))), sent);
        QCOMPARE(sent.filter(QStringLiteral(" SECURITY write ")).size(), 1);
        // The station list keeps the edit; the profile store does not.
        QCOMPARE(Stations().GetConnectedStation()->SecType, 1);
        QCOMPARE(Store().FindByNetName("CoffeeCorner")->SecType, 0);

        QVERIFY(m_pSite->SelectRow("Dovrel-Home;6"));
        Answer(nullptr, false);
        m_pSite->OnConnect();  // cancelled
        QCOMPARE(m_strCaption, QStringLiteral("Enter Security Parameters"));
        QCOMPARE(Stations().ConnectedKey, std::string("CoffeeCorner;1"));
        Answer(EnterKey104, true);
        m_pSite->OnConnect();
        QVERIFY(m_pFix->TakeMessages().empty());
        QCOMPARE(Stations().ConnectedKey, std::string("Dovrel-Home;6"));  // the key the sheet took

        // Saved as a profile, not joined.
        QVERIFY(m_pSite->SelectRow("LanParty;3"));
        std::string name;
        Answer([&name](CEditProfile &s) { name = s.ProfileName(); }, true);
        m_pSite->OnSaveProfile();
        QCOMPARE(m_strCaption, QStringLiteral("Save Connection to Profile"));
        QCOMPARE(theApp().GetProfileString(name, "NetName", ""), std::string("LanParty"));
        QCOMPARE(Stations().ConnectedKey, std::string("Dovrel-Home;6"));
        // An ad hoc network: the adapter is given the channel the list showed.
        m_pSite->OnConnect();
        QCOMPARE(Stations().ConnectedKey, std::string("LanParty;3"));
        QVERIFY(m_pFix->sim.Ctl("log", &log) && log.find("CHANNEL write 2 3 ") != std::string::npos);
        // A driver that does not answer: its message.
        QVERIFY(m_pFix->sim.Ctl("vanish"));
        m_pSite->OnEditConnection();
        QCOMPARE(m_pFix->TakeMessages(), Keys{LoadString(IDS_DRIVER_ERROR)});
    }
};

QTEST_MAIN(TestViewSite)
#include "tst_viewsite.moc"
