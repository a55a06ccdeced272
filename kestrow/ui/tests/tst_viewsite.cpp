// The site survey: the station model and its two views (byte-wise sorting,
// selection kept across updates, network grouping, icons and the connected
// row) on rows made here, and the Available Networks dialog's commands
// against a real adapter-sim playing the default scenario.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QFile>
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
#include "EditProfileGen.h"
#include "EditProfileSec.h"
#include "KestrowApp.h"
#include "MSMask.h"
#include "NetViewProxy.h"
#include "ProfileMngr.h"
#include "SectionLock.h"
#include "SimAdapter.h"
#include "Station.h"
#include "StationMngr.h"
#include "StationModel.h"
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

std::vector<std::string> Keys(const CApViewProxy &view)
{
    std::vector<std::string> keys;
    for (int r = 0; r < view.rowCount(); ++r) {
        keys.push_back(view.RowKey(view.mapToSource(view.index(r, 0)).row()));
    }
    return keys;
}

QImage Picture(const QVariant &icon)
{
    return icon.value<QIcon>().pixmap(16, 16).toImage();
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
    QPushButton *Button(int id) const { return qobject_cast<QPushButton *>(m_pSite->Controls().Control(id)); }

    std::vector<std::string> TakeMessages()
    {
        std::vector<std::string> m;
        m.swap(m_pSink->Messages);
        return m;
    }
    // Starts the simulator and fills the dialog from its scan.
    void StartSim()
    {
        QVERIFY(m_pSim->Start(Scenario()));
        theApp().SetAdapterState(AdapterState::Present);
        theApp().SetStationMngr(std::make_unique<CStationMngr>(theApp(), *theApp().ProfileMngr()));
        // The simulated scan is instant; wait for its last result.
        QTRY_VERIFY_WITH_TIMEOUT(!Stations().UpdateFromScan() && Stations().GetCount() == 13, 10000);
        m_pSite->Refresh();
        QCOMPARE(m_pSite->Model().rowCount(), 13);
    }
    // A sheet runner that records the caption and answers with `ok` after
    // `edit` has run.
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
    std::string LogLines(const QString &what)
    {
        QString log;
        [&] { QVERIFY(m_pSim->Control(what, &log)); }();
        return log.toStdString();
    }

private slots:
    void init()
    {
        m_pSim = std::make_unique<CSimAdapter>();
        m_pSink = std::make_unique<CRecordingSink>();
        QVERIFY(theApp().CreateMainLock());
        theApp().SetProfileMngr(std::make_unique<CProfileMngr>());
        m_nSheets = 0;
        m_pSite = std::make_unique<CViewSite>();
        Answer(nullptr, false);
    }
    void cleanup()
    {
        m_pSite.reset();
        m_pSim.reset();
        m_pSink.reset();
    }

    void sortIsByteWiseWithTheKeyAfterTheText()
    {
        CStationModel model;
        CApViewProxy view(model);
        model.Apply({Row("Campus", 6, -60), Row("x;y", 6, -60), Row("\xe9t\xe9", 6, -60), Row("Campus", 11, -60),
                     Row("x;y -- \"z\"", 6, -60), Row("Caf\xc3\xa9", 6, -60), Row("Campus", 1, -60)});
        // Names: the text, " -- " and the key decide; bytes compare unsigned.
        view.sort(1, Qt::AscendingOrder);
        const std::vector<std::string> byName{"Caf\xc3\xa9;6", "Campus;1", "Campus;11", "Campus;6",
                                              "x;y -- \"z\";6", "x;y;6", "\xe9t\xe9;6"};
        QCOMPARE(Keys(view), byName);
        view.sort(1, Qt::DescendingOrder);
        QCOMPARE(Keys(view), std::vector<std::string>(byName.rbegin(), byName.rend()));
        // Channels as text: "1" < "11" < "6", equal texts by key.
        view.sort(4, Qt::AscendingOrder);
        const std::vector<std::string> byChannel = Keys(view);
        QCOMPARE(byChannel.front(), std::string("Campus;1"));
        QCOMPARE(byChannel[1], std::string("Campus;11"));
        QCOMPARE(byChannel[2], std::string("Caf\xc3\xa9;6"));
        // Shown text: UTF-8 when valid, Latin-1 otherwise.
        QCOMPARE(view.index(static_cast<int>(byChannel.size()) - 1, 1).data().toString(), QStringLiteral("\u00e9t\u00e9"));
        QCOMPARE(view.index(2, 1).data().toString(), QStringLiteral("Caf\u00e9"));
    }

    void updatesKeepRowsAndSelection()
    {
        CStationModel model;
        CApViewProxy view(model);
        QTreeView list;
        list.setModel(&view);
        view.sort(0, Qt::AscendingOrder);
        model.Apply({Row("A", 1, -60), Row("B", 1, -70), Row("C", 1, -80), Row("D", 1, -50)});
        list.selectionModel()->setCurrentIndex(view.IndexOfKey("C;1"),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        // C gets stronger and moves up; B goes; E comes; A and D stay.
        model.Apply({Row("D", 1, -50), Row("E", 1, -90), Row("C", 1, -55), Row("A", 1, -60)});
        QCOMPARE(changed.count(), 1);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(reset.count(), 0);
        QCOMPARE(Keys(view), (std::vector<std::string>{"D;1", "C;1", "A;1", "E;1"}));
        QCOMPARE(list.currentIndex(), view.IndexOfKey("C;1"));
        QCOMPARE(list.selectionModel()->selectedRows(), QModelIndexList{view.IndexOfKey("C;1")});
        // The same rows again change nothing.
        model.Apply({Row("A", 1, -60), Row("C", 1, -55), Row("D", 1, -50), Row("E", 1, -90)});
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model.rowCount(), 4);
    }

    void networkViewGroupsByName()
    {
        CStationModel model;
        CNetViewProxy view(model);
        view.sort(1, Qt::AscendingOrder);
        model.Apply({Row("Campus", 6, -90, true), Row("Campus", 11, -70), Row("Lab", 36, -60), Row("Campus", 1, -60)});
        QCOMPARE(view.columnCount(), 4);
        QCOMPARE(Keys(view), (std::vector<std::string>{"Campus", "Lab"}));
        // The first station in key order stands for the name; the row is
        // coloured for the connected station of its name, the icon is its own.
        const QModelIndex campus = view.IndexOfKey("Campus");
        QCOMPARE(model.Row(view.mapToSource(campus).row()).stationKey, std::string("Campus;1"));
        QCOMPARE(campus.data(Qt::BackgroundRole).value<QColor>(), CStationModel::kConnectedColour);
        QCOMPARE(Picture(campus.data(Qt::DecorationRole)), Picture(CStationModel::RowIcon(CStationModel::IMG_EXCELLENT)));
        QVERIFY(!view.IndexOfKey("Lab").data(Qt::BackgroundRole).isValid());
        // When it goes, the next one by key stands for the name.
        model.Apply({Row("Campus", 6, -90, true), Row("Campus", 11, -70), Row("Lab", 36, -60)});
        QCOMPARE(view.rowCount(), 2);
        QCOMPARE(model.Row(view.mapToSource(view.IndexOfKey("Campus")).row()).stationKey, std::string("Campus;11"));
    }

    void iconsByLevelAndTheConnectedRow()
    {
        CStationModel model;
        CApViewProxy view(model);
        model.Apply({Row("L67", 1, -67), Row("L71", 1, -71), Row("L81", 1, -81), Row("L82", 1, -82),
                     Row("Joined", 1, -90, true)});
        const std::vector<std::pair<const char *, int>> expected{
            {"L67;1", CStationModel::IMG_EXCELLENT}, {"L71;1", CStationModel::IMG_GOOD},
            {"L81;1", CStationModel::IMG_FAIR},      {"L82;1", CStationModel::IMG_POOR},
            {"Joined;1", CStationModel::IMG_CONNECTED}};
        for (const auto &[key, image] : expected) {
            const QModelIndex index = view.IndexOfKey(key);
            QCOMPARE(Picture(index.data(Qt::DecorationRole)), Picture(CStationModel::RowIcon(image)));
            QCOMPARE(index.siblingAtColumn(2).data(Qt::BackgroundRole).isValid(), image == CStationModel::IMG_CONNECTED);
        }
        QVERIFY(Picture(CStationModel::RowIcon(1)) != Picture(CStationModel::RowIcon(4)));
    }

    void dialogKeepsItsRowThroughViewsAndUpdates()
    {
        // Without a station list the dialog's own refreshes bring no rows.
        const std::vector<CSurveyRow> three{Row("Campus", 1, -60), Row("Campus", 6, -70, true), Row("Lab", 36, -60)};
        m_pSite->ApplyStations(three);
        QCOMPARE(m_pSite->List()->model()->columnCount(), 7);
        QVERIFY(m_pSite->SelectRow("Campus;6"));
        QVERIFY(!Button(CViewSite::IDC_CONNECT)->isEnabled());
        QVERIFY(Button(CViewSite::IDC_EDIT_CONN)->isEnabled());
        std::unique_ptr<QMenu> menu(m_pSite->CreateContextMenu());
        QCOMPARE(menu->actions().size(), 4);
        QVERIFY(!menu->actions()[0]->isEnabled());
        QCOMPARE(menu->actions()[2]->property("ctrlId").toInt(), int(CViewSite::ID_SITE_EDIT_CONNECTION));

        m_pSite->OnToggleView();
        QCOMPARE(theApp().GetProfileInt("", kViewPreference, -1), 1);
        QCOMPARE(m_pSite->windowTitle(), QStringLiteral("Available Networks"));
        QCOMPARE(m_pSite->List()->model()->columnCount(), 4);
        m_pSite->ApplyStations(three);
        QVERIFY(m_pSite->SelectRow("Campus"));
        QCOMPARE(m_pSite->SelectedStationKey(), std::string("Campus;1"));
        // The name's standing station goes and comes back: the row stays picked.
        m_pSite->ApplyStations({Row("Campus", 6, -70, true), Row("Lab", 36, -60)});
        QCOMPARE(m_pSite->SelectedRowKey(), std::string("Campus"));
        QCOMPARE(m_pSite->SelectedStationKey(), std::string("Campus;6"));
        m_pSite->ApplyStations({Row("Lab", 36, -60)});
        QCOMPARE(m_pSite->SelectedRowKey(), std::string("Lab"));
        m_pSite->ApplyStations({Row("Campus", 1, -60), Row("Lab", 36, -60)});
        QCOMPARE(m_pSite->SelectedRowKey(), std::string("Campus"));
        m_pSite->OnToggleView();
        QCOMPARE(m_pSite->List()->model()->columnCount(), 7);
    }

    void withoutAdapterTheCommandsSaySo()
    {
        theApp().SetAdapterState(AdapterState::Removed);
        m_pSite->ApplyStations({});
        QVERIFY(!m_pSite->AdapterLabel()->isHidden());
        QCOMPARE(m_pSite->AdapterLabel()->text(), QStringLiteral("The wireless adapter was removed"));
        m_pSite->OnRescan();
        m_pSite->OnConnect();
        QCOMPARE(TakeMessages(), (std::vector<std::string>{kNoAdapterMessage, kNoAdapterMessage}));
        QVERIFY(m_pSite->Progress()->isHidden());
        theApp().SetAdapterState(AdapterState::Present);
        m_pSite->ApplyStations({});
        QVERIFY(m_pSite->AdapterLabel()->isHidden());
    }

    void rescanProgress()
    {
        StartSim();
        auto now = std::chrono::steady_clock::now();
        m_pSite->SetClock([&now] { return now; });
        m_pSite->show();
        Button(CViewSite::IDC_RESCAN)->click();
        QVERIFY(m_pSite->Progress()->isVisible());
        QCOMPARE(m_pSite->Progress()->value(), 0);
        now += std::chrono::milliseconds(5900);
        m_pSite->Refresh();
        QCOMPARE(m_pSite->Progress()->value(), 5);
        now += std::chrono::milliseconds(100);
        m_pSite->Refresh();
        QVERIFY(!m_pSite->Progress()->isVisible());
    }

    void connectOpenNetworkAndBusyLock()
    {
        StartSim();
        // While the main lock is busy nothing is joined.
        QVERIFY(m_pSite->SelectRow("CoffeeCorner;1"));
        {
            CSectionLock held(theApp(), Section::Main);
            QVERIFY(held);
            m_pSite->OnConnect();
        }
        QVERIFY(Stations().ConnectedKey.empty());

        m_pSite->OnConnect();
        QCOMPARE(m_nSheets, 0);
        QVERIFY(TakeMessages().empty());
        QCOMPARE(Stations().ConnectedKey, std::string("CoffeeCorner;1"));
        const CProfile *profile = Store().FindByNetName("CoffeeCorner");
        QVERIFY(profile != nullptr && profile->AutoSelect);
        QCOMPARE(theApp().GetProfileInt(profile->Section, "AutoSelect", 0), 1);
        QVERIFY(!m_pSite->Busy());
        QVERIFY(!Button(CViewSite::IDC_CONNECT)->isEnabled());
        QVERIFY(LogLines(QStringLiteral("stats")).find("connected yes") != std::string::npos);
    }

    void connectWepNetwork()
    {
        StartSim();
        QVERIFY(m_pSite->SelectRow("Dovrel-Home;6"));
        // Cancel: nothing connects.
        m_pSite->OnConnect();
        QCOMPARE(m_nSheets, 1);
        QCOMPARE(m_strCaption, QStringLiteral("Enter Security Parameters"));
        QVERIFY(Stations().ConnectedKey.empty());
        QVERIFY(TakeMessages().empty());

        // A wrong key: message 122, no connected station.
        Answer([](CEditProfile &s) { EnterKey104(s, QStringLiteral("00000000000000000000000000")); }, true);
        m_pSite->OnConnect();
        QCOMPARE(TakeMessages(), std::vector<std::string>{LoadString(IDS_STATION_CONNECT_FAILED)});
        QVERIFY(Stations().ConnectedKey.empty());
        QVERIFY(Store().FindByNetName("Dovrel-Home") == nullptr);

        Answer([](CEditProfile &s) { EnterKey104(s, QStringLiteral("0123456789ABCDEF0123456789")); }, true);
        m_pSite->OnConnect();
        QCOMPARE(m_nSheets, 3);
        QVERIFY(TakeMessages().empty());
        QCOMPARE(Stations().ConnectedKey, std::string("Dovrel-Home;6"));
        const CProfile *profile = Store().FindByNetName("Dovrel-Home");
        QVERIFY(profile != nullptr);
        QCOMPARE(profile->SecKey[0], std::string("0123456789ABCDEF0123456789"));
    }

    void saveAsProfile()
    {
        StartSim();
        QVERIFY(m_pSite->SelectRow("LanParty;3"));
        std::string name;
        Answer([&name](CEditProfile &s) {
            name = s.ProfileName();
            s.GenPage()->Controls().Control(CEditProfileGen::IDC_AUTO_SELECT)->setProperty("checked", true);
        }, true);
        m_pSite->OnSaveProfile();
        QCOMPARE(m_strCaption, QStringLiteral("Save Connection to Profile"));
        // The core's operation saved it (its flow is tested there).
        QCOMPARE(theApp().GetProfileString(name, "NetName", ""), std::string("LanParty"));
        QVERIFY(Stations().ConnectedKey.empty());
        QVERIFY(!m_pSite->Busy());
    }

    void editConnectionWritesOnlySecurity()
    {
        StartSim();
        QVERIFY(m_pSite->SelectRow("CoffeeCorner;1"));
        m_pSite->OnConnect();
        QCOMPARE(Stations().ConnectedKey, std::string("CoffeeCorner;1"));
        Answer([this](CEditProfile &s) {
            QVERIFY(s.IsEditConnection());
            QCOMPARE(s.ProfileName(), std::string(kEditStationName));
            EnterKey104(s, QStringLiteral("0123456789ABCDEF0123456789"));
            s.SecPage().Security()->setCurrentIndex(1);
            emit s.SecPage().Security()->activated(1);
            // From here on only what OK causes is logged.
            QVERIFY(m_pSim->Control(QStringLiteral("clear-log")));
        }, true);
        m_pSite->OnEditConnection();
        QCOMPARE(m_strCaption, QStringLiteral("Edit Connection Parameters"));
        QVERIFY(TakeMessages().empty());
        int security = 0;
        for (const QString &line : QString::fromStdString(LogLines(QStringLiteral("log"))).split('\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split(QLatin1Char(' '));
            QVERIFY2(f.size() >= 5 && (f[3] == QStringLiteral("SECURITY") || f[3] == QStringLiteral("WEP_KEY")),
                     qPrintable(line));
            security += f[3] == QStringLiteral("SECURITY") && f[4] == QStringLiteral("write") ? 1 : 0;
        }
        QCOMPARE(security, 1);
        // The station list keeps the edit; the profile store does not.
        QCOMPARE(Stations().GetConnectedStation()->SecType, 1);
        QCOMPARE(Store().FindByNetName("CoffeeCorner")->SecType, 0);

        // A driver that does not answer: message 115.
        QVERIFY(m_pSim->Control(QStringLiteral("vanish")));
        m_pSite->OnEditConnection();
        QCOMPARE(TakeMessages(), std::vector<std::string>{LoadString(IDS_DRIVER_ERROR)});
        QVERIFY(m_pSim->Control(QStringLiteral("appear")));
    }

    void adHocJoinUsesTheSeenChannel()
    {
        StartSim();
        QVERIFY(m_pSite->SelectRow("LanParty;3"));
        // Nobody runs it any more: the adapter starts it on the channel the
        // list showed.
        QVERIFY(m_pSim->Control(QStringLiteral("remove-network LanParty")));
        QVERIFY(m_pSim->Control(QStringLiteral("clear-log")));
        m_pSite->OnConnect();
        QVERIFY(TakeMessages().empty());
        QCOMPARE(Stations().ConnectedKey, std::string("LanParty;3"));
        QVERIFY(QString::fromStdString(LogLines(QStringLiteral("log"))).contains(QRegularExpression(QStringLiteral("CHANNEL write 2 3 "))));
        QCOMPARE(Store().FindByNetName("LanParty")->PhyChnl, 2);
    }
};

QTEST_MAIN(TestViewSite)
#include "tst_viewsite.moc"
