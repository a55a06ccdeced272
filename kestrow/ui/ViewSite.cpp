#include "ViewSite.h"

#include <QAction>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QStringDecoder>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>
#include <map>
#include <set>

#include "Conversions.h"
#include "EditProfile.h"
#include "IMainWindow.h"
#include "KestrowApp.h"
#include "SectionLock.h"
#include "ConnectOps.h"
#include "SurveyTable.h"
#include "CoreTask.h"
#include "MessageSink.h"
#include "Poll.h"
#include "ProfileMngr.h"
#include "ProfileOps.h"
#include "Station.h"
#include "StationMngr.h"
#include "StringTable.h"

namespace kestrow {

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kRefreshRetryMs = 20;
constexpr int kSecurityColumn = CSurveyTable::kSecurityColumn;

struct Column {
    const char *title;
    double apWidth;
    double netWidth;  // 0: not in the network view
};
constexpr std::array<Column, 7> kColumns{{
    {"Link Quality", 0.153237, 0.231773},
    {"Network Name (SSID)", 0.275657, 0.416934},
    {"Mode", 0.119310, 0.180458},
    {"Security", 0.112949, 0.170836},
    {"Channel", 0.112949, 0},
    {"Rate", 0.112949, 0},
    {"MAC", 0.338846, 0},
}};
constexpr int kNetViewColumns = CSurveyTable::kNetViewColumns;

// Colours of the row icons by image index.
const QColor kIconColours[5] = {
    QColor(0x4f, 0xb3, 0xf0),  // connected: light blue
    QColor(0x2e, 0xb8, 0x4a),  // excellent: green
    QColor(0xf0, 0x84, 0x14),  // fair: orange
    QColor(0xf2, 0xcc, 0x14),  // good: yellow
    QColor(0xd9, 0x30, 0x25),  // poor: red
};
// Signal bars drawn on each level's icon (the connected icon has a tick).
constexpr int kIconBars[5] = {0, 4, 2, 3, 1};

// The icon's own picture at 16 x 16 on `background`.
QPixmap DrawIcon(int index, const QColor &background)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(background);
    if (index < 0 || index >= 5) {
        return pixmap;
    }
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor colour = kIconColours[index];
    p.setPen(QPen(colour.darker(150), 1.0));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    if (index == CViewSite::IMG_CONNECTED) {
        p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tick;
        tick.moveTo(4, 8.5);
        tick.lineTo(7, 11.5);
        tick.lineTo(12, 4.5);
        p.drawPath(tick);
        return pixmap;
    }
    // Four bars rising left to right; the level's bars are white, the rest
    // faint.
    for (int bar = 0; bar < 4; ++bar) {
        const double height = 3.0 + 2.5 * bar;
        const QRectF r(2.5 + 3.0 * bar, 13.0 - height, 2.0, height);
        p.setPen(Qt::NoPen);
        p.setBrush(bar < kIconBars[index] ? QColor(Qt::white) : QColor(255, 255, 255, 70));
        p.drawRect(r);
    }
    return pixmap;
}

QString Latin(const std::string &s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QByteArray KeyBytes(const std::string &key)
{
    return QByteArray(key.data(), static_cast<qsizetype>(key.size()));
}

std::string ItemKey(const QTreeWidgetItem *item)
{
    if (item == nullptr) {
        return std::string();
    }
    const QByteArray bytes = item->data(0, kKeyRole).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

const QColor CViewSite::kConnectedColour(133, 210, 252);

QIcon CViewSite::RowIcon(int index)
{
    return QIcon(DrawIcon(index, Qt::transparent));
}

QPixmap CViewSite::LegendPicture(int index, const QColor &background)
{
    return DrawIcon(index, background);
}

int CViewSite::IconForLevel(int linkQuality)
{
    switch (CSurveyTable::LevelOf(linkQuality)) {
    case SignalLevel::Poor: return IMG_POOR;
    case SignalLevel::Fair: return IMG_FAIR;
    case SignalLevel::Good: return IMG_GOOD;
    case SignalLevel::Excellent: break;
    }
    return IMG_EXCELLENT;
}

QString CViewSite::NetNameText(const std::string &bytes)
{
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(view);
    if (decoder.hasError()) {
        text = QString::fromLatin1(view);
    }
    return text;
}

CViewSite::CViewSite(QWidget *parent) : QDialog(parent), m_Controls(this)
{
    setObjectName(QStringLiteral("AvailableNetworks"));
    setWindowTitle(QStringLiteral("Available Networks"));
    setModal(false);
    auto *layout = new QVBoxLayout(this);

    m_pList = CQtControlParent::Tag(new QTreeWidget, IDC_LIST);
    m_pList->setRootIsDecorated(false);
    m_pList->setItemsExpandable(false);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->setUniformRowHeights(true);
    m_pList->setIconSize(QSize(16, 16));
    m_pList->setMinimumSize(600, 270);
    m_pList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pList->header()->setSectionsClickable(true);
    m_pList->header()->setSectionsMovable(false);
    m_pList->header()->setStretchLastSection(false);
    m_pList->header()->setSortIndicatorShown(true);
    layout->addWidget(m_pList);

    // The legend of the row icons, left to right.
    auto *legend = new QHBoxLayout;
    const QColor grey = palette().color(QPalette::Window);
    const std::array<std::pair<int, const char *>, 5> entries{{{IMG_EXCELLENT, "Excellent"},
                                                               {IMG_GOOD, "Good"},
                                                               {IMG_FAIR, "Fair"},
                                                               {IMG_POOR, "Poor"},
                                                               {IMG_CONNECTED, "Connected"}}};
    for (const auto &[image, text] : entries) {
        auto *picture = new QLabel;
        picture->setPixmap(LegendPicture(image, grey));
        auto *label = new QLabel(QString::fromLatin1(text));
        label->setTextFormat(Qt::PlainText);
        if (image == IMG_CONNECTED) {
            CQtControlParent::Tag(label, IDC_LEGEND_CONNECTED);
        }
        legend->addWidget(picture);
        legend->addWidget(label);
        legend->addSpacing(12);
    }
    legend->addStretch(1);
    layout->addLayout(legend);

    m_pProgress = CQtControlParent::Tag(new QProgressBar, IDC_PROGRESS);
    m_pProgress->setRange(0, kScanSeconds);
    m_pProgress->setTextVisible(false);
    m_pProgress->hide();
    layout->addWidget(m_pProgress);
    auto *unused = CQtControlParent::Tag(new QLabel(QStringLiteral("Static")), IDC_STATIC);
    unused->hide();
    layout->addWidget(unused);

    auto *buttons = new QHBoxLayout;
    const std::array<std::pair<int, const char *>, 6> commands{{{IDC_CONNECT, "&Connect"},
                                                                 {IDC_SAVE_PROFILE, "Save &Profile"},
                                                                 {IDC_EDIT_CONN, "E&dit Conn."},
                                                                 {IDC_RESCAN, "&Rescan"},
                                                                 {IDC_VIEW, "&View NET"},
                                                                 {IDC_CLOSE, "C&lose"}}};
    for (const auto &[id, text] : commands) {
        auto *button = CQtControlParent::Tag(new QPushButton(QString::fromLatin1(text)), id);
        button->setAutoDefault(false);
        buttons->addWidget(button);
        switch (id) {
        case IDC_VIEW:
            m_pViewButton = button;
            connect(button, &QPushButton::clicked, this, &CViewSite::OnToggleView);
            break;
        case IDC_CONNECT: m_pConnectButton = button; break;
        case IDC_EDIT_CONN: m_pEditButton = button; break;
        case IDC_CLOSE:
            // "C&lose" is the dialog's cancel: it hides the dialog.
            connect(button, &QPushButton::clicked, this, &QDialog::reject);
            break;
        default: break;
        }
        if (id == IDC_CONNECT || id == IDC_SAVE_PROFILE || id == IDC_EDIT_CONN || id == IDC_RESCAN) {
            const int command = id;
            connect(button, &QPushButton::clicked, this, [this, command] { OnCommand(command); });
        }
    }
    buttons->insertStretch(4, 1);
    layout->addLayout(buttons);

    connect(m_pList, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current) { OnCurrentRowChanged(current); });
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, [this] { OnConnect(); });
    connect(m_pList, &QTreeWidget::customContextMenuRequested, this, &CViewSite::ShowContextMenu);
    connect(m_pList->header(), &QHeaderView::sectionClicked, this, &CViewSite::OnColumnClick);

    OnInitDialog();
}

CViewSite::~CViewSite() = default;

void CViewSite::OnInitDialog()
{
    m_strSelectedKey.clear();
    m_bNetView = theApp().GetProfileInt("", kViewPreference, 0) != 0;
    m_bSortAscending = true;
    m_nSortColumn = 0;
    m_SortedKeys.clear();
    SetView(true);
}

void CViewSite::SetView(bool firstTime)
{
    (void)firstTime;  // the list is always in full-row mode with its icons
    setWindowTitle(m_bNetView ? QStringLiteral("Available Networks") : QStringLiteral("Available AP's"));
    m_pViewButton->setText(QStr(LoadString(m_bNetView ? IDS_AP_VIEW : IDS_NETWORK_VIEW)));
    MakeColumns();
    if (m_nSortColumn >= m_nColumns) {
        m_nSortColumn = 0;
        m_bSortAscending = true;
    }

    // Reduce or restore the station list for the view.
    CKestrowApp &app = theApp();
    CStationMngr *stations = app.StationMngr();
    if (stations == nullptr) {
        RefreshHeld();
        return;
    }
    if (CSectionLock lock(app, Section::Main); lock) {
        if (!stations->UpdateFromScan()) {
            app.SetScanActive(false);
        }
        RefreshHeld();
        return;
    }
    // Busy: the next main timer routine rebuilds the list for the view.
    app.RequestFullRefresh();
    Refresh();
}

void CViewSite::MakeColumns()
{
    QStringList titles;
    for (const Column &c : kColumns) {
        if (!m_bNetView || c.netWidth > 0) {
            titles << QString::fromLatin1(c.title);
        }
    }
    m_bFilling = true;
    m_pList->clear();
    m_bFilling = false;
    m_nColumns = static_cast<int>(titles.size());
    m_pList->setColumnCount(m_nColumns);
    m_pList->setHeaderLabels(titles);
    const int viewport = m_pList->viewport()->width();
    const int width = isVisible() && viewport > 100 ? viewport : m_pList->minimumWidth();
    for (int i = 0; i < m_nColumns; ++i) {
        const Column &c = kColumns[static_cast<std::size_t>(i)];
        m_pList->setColumnWidth(i, static_cast<int>((m_bNetView ? c.netWidth : c.apWidth) * width));
    }
}

void CViewSite::OnToggleView()
{
    m_bNetView = !m_bNetView;
    if (!theApp().WriteProfileInt("", kViewPreference, m_bNetView ? 1 : 0)) {
        ShowMessageText("The view could not be stored in the registry.", MB_OK | MB_ICONWARNING);
    }
    SetView(false);
}

void CViewSite::OnColumnClick(int column)
{
    if (column < 0 || column >= m_nColumns) {
        return;
    }
    if (column == m_nSortColumn) {
        m_bSortAscending = !m_bSortAscending;
    } else {
        m_nSortColumn = column;
        m_bSortAscending = true;
    }
    Refresh();
}

void CViewSite::Refresh()
{
    CKestrowApp &app = theApp();
    // Without a station list or a main lock nothing is shared.
    if (app.StationMngr() == nullptr || app.HasMainLock() == false) {
        RefreshHeld();
        return;
    }
    if (CSectionLock lock(app, Section::Main); lock) {
        RefreshHeld();
        return;
    }
    if (!m_bRefreshPending) {
        m_bRefreshPending = true;
        QTimer::singleShot(kRefreshRetryMs, this, [this] {
            m_bRefreshPending = false;
            Refresh();
        });
    }
}

void CViewSite::ApplyStations(std::vector<CSurveyRow> apRows)
{
    (void)apRows;
    Refresh();
}

void CViewSite::RefreshHeld()
{
    ++m_nRefreshes;
    m_bFilling = true;
    m_pList->clear();
    FillList();
    m_pList->header()->setSortIndicator(m_nSortColumn,
                                        m_bSortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);

    // Keep the row the user picked, by key; otherwise the first row.
    int row = 0;
    if (!m_strSelectedKey.empty()) {
        for (int i = 0; i < m_pList->topLevelItemCount(); ++i) {
            if (ItemKey(m_pList->topLevelItem(i)) == m_strSelectedKey) {
                row = i;
                break;
            }
        }
    }
    QTreeWidgetItem *item = m_pList->topLevelItem(row);
    if (item != nullptr) {
        m_pList->setCurrentItem(item);
        item->setSelected(true);
    }
    m_bFilling = false;
    UpdateButtons(item != nullptr ? FindRowStation(ItemKey(item)) : nullptr);

    if (m_pProgress->isVisible()) {
        const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(Now() - m_ScanStart).count();
        if (elapsed < kScanSeconds) {
            m_pProgress->setValue(static_cast<int>(std::max<long long>(0, elapsed)));
        } else {
            m_pProgress->hide();
        }
    }
}

CStation *CViewSite::FindRowStation(const std::string &rowKey) const
{
    const CStationMngr *stations = theApp().StationMngr();
    return stations != nullptr ? CSurveyTable::Find(*stations, m_bNetView, rowKey) : nullptr;
}

bool CViewSite::IsConnectedStation(const CStation &station) const
{
    const CStationMngr *stations = theApp().StationMngr();
    return stations != nullptr && CSurveyTable::IsConnected(*stations, station);
}

void CViewSite::FillList()
{
    m_SortedKeys.clear();
    m_strConnectedRowKey.clear();
    const CStationMngr *stations = theApp().StationMngr();
    if (stations == nullptr) {
        return;
    }
    const std::vector<CSurveyRow> rows = CSurveyTable::Rows(*stations, m_bNetView, m_nSortColumn, m_bSortAscending);
    QList<QTreeWidgetItem *> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const CSurveyRow &row : rows) {
        m_SortedKeys.push_back(row.rowKey);
        auto *item = new QTreeWidgetItem;
        item->setData(0, kKeyRole, KeyBytes(row.rowKey));
        item->setIcon(0, RowIcon(row.connected ? IMG_CONNECTED : IconForLevel(row.linkQuality)));
        for (int c = 0; c < m_nColumns; ++c) {
            const std::string &text = row.cells[static_cast<std::size_t>(c)];
            item->setText(c, c == 1 ? NetNameText(text) : Latin(text));
        }
        if (row.connectedRow) {
            m_strConnectedRowKey = row.rowKey;
            for (int c = 0; c < m_nColumns; ++c) {
                item->setBackground(c, kConnectedColour);
            }
        }
        items.push_back(item);
    }
    m_pList->addTopLevelItems(items);
}

std::string CViewSite::RowKey(int row) const
{
    return ItemKey(m_pList->topLevelItem(row));
}

bool CViewSite::SelectRow(const std::string &rowKey)
{
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_pList->topLevelItem(i);
        if (ItemKey(item) == rowKey) {
            m_pList->setCurrentItem(item);
            item->setSelected(true);
            // The same row again still counts as a click.
            OnCurrentRowChanged(item);
            return true;
        }
    }
    return false;
}

CStation *CViewSite::SelectedStation() const
{
    QTreeWidgetItem *item = m_pList->currentItem();
    return item != nullptr ? FindRowStation(ItemKey(item)) : nullptr;
}

void CViewSite::UpdateButtons(const CStation *station)
{
    const bool connected = station != nullptr && IsConnectedStation(*station);
    m_pConnectButton->setEnabled(!connected && !m_Connecting.Busy());
    m_pEditButton->setEnabled(connected);
}

void CViewSite::OnCurrentRowChanged(QTreeWidgetItem *item)
{
    if (m_bFilling || item == nullptr) {
        return;
    }
    m_strSelectedKey = ItemKey(item);
    // The station list is shared with the polling thread: look only when the
    // lock is free; otherwise the buttons follow at the next refresh.
    CKestrowApp &app = theApp();
    CSectionLock lock(app, Section::Main);
    if (app.HasMainLock() && !lock) {
        return;
    }
    if (const CStation *station = FindRowStation(m_strSelectedKey)) {
        UpdateButtons(station);
    }
}

QMenu *CViewSite::CreateContextMenu()
{
    CKestrowApp &app = theApp();
    CSectionLock lock(app, Section::Main);
    if (app.HasMainLock() && !lock) {
        return nullptr;
    }
    const CStation *station = SelectedStation();
    bool connected = false;
    if (station != nullptr) {
        UpdateButtons(station);
        connected = IsConnectedStation(*station);
    }
    lock.Unlock();
    if (station == nullptr) {
        return nullptr;
    }
    auto *menu = new QMenu(this);
    const std::array<std::pair<int, const char *>, 4> items{{{ID_SITE_CONNECT, "&Connect"},
                                                              {ID_SITE_SAVE_PROFILE, "&Save as Profile"},
                                                              {ID_SITE_EDIT_CONNECTION, "E&dit Connection"},
                                                              {ID_SITE_RESCAN, "&Rescan"}}};
    for (const auto &[id, text] : items) {
        QAction *action = menu->addAction(QString::fromLatin1(text));
        action->setProperty(kCtrlIdProperty, id);
        if (id == ID_SITE_CONNECT) {
            action->setEnabled(!connected);
        } else if (id == ID_SITE_EDIT_CONNECTION) {
            action->setEnabled(connected);
        }
        const int command = id;
        connect(action, &QAction::triggered, this, [this, command] {
            if (m_fnMenuOwner)
                m_fnMenuOwner(command);
            else
                OnCommand(command);
        });
    }
    return menu;
}

void CViewSite::ShowContextMenu(const QPoint &pos)
{
    std::unique_ptr<QMenu> menu(CreateContextMenu());
    if (menu != nullptr) {
        menu->exec(m_pList->viewport()->mapToGlobal(pos));
    }
}

bool CViewSite::OnCommand(int id)
{
    switch (id) {
    case IDC_CONNECT:
    case ID_SITE_CONNECT: OnConnect(); return true;
    case IDC_SAVE_PROFILE:
    case ID_SITE_SAVE_PROFILE: OnSaveProfile(); return true;
    case IDC_EDIT_CONN:
    case ID_SITE_EDIT_CONNECTION: OnEditConnection(); return true;
    case IDC_RESCAN:
    case ID_SITE_RESCAN: OnRescan(); return true;
    default: return false;
    }
}

std::chrono::steady_clock::time_point CViewSite::Now() const
{
    return m_Clock ? m_Clock() : std::chrono::steady_clock::now();
}

void CViewSite::OnRescan()
{
    // A refused scan is not reported: the list simply stays as it is.
    if (CStationMngr *stations = theApp().StationMngr()) {
        (void)stations->StartScan();
    }
    m_ScanStart = Now();
    m_pProgress->setRange(0, kScanSeconds);
    m_pProgress->setValue(0);
    m_pProgress->show();
}

int CViewSite::RunSheet(CEditProfile &sheet)
{
    return m_SheetRunner ? m_SheetRunner(sheet) : sheet.exec();
}

void CViewSite::UpdateMainWindow()
{
    if (IMainWindow *window = theApp().GetMainWindow()) {
        window->UpdatePages(true);
    }
}

void CViewSite::OnConnect()
{
    std::unique_ptr<CStation> target;
    {
        CSectionLock lock(theApp(), Section::Main);
        if (!lock) {
            return;
        }
        target = PrepareJoinHeld();
    }
    if (!target || m_Connecting.Busy()) {
        return;
    }
    SetConnecting(true);
    RunCoreTask<CConnectOps::JoinOutcome>(
        this, [station = std::shared_ptr<CStation>(std::move(target))] {
            return CConnectOps(theApp()).JoinStation(*station);
        },
        [this](CConnectOps::JoinOutcome outcome) {
            SetConnecting(false);
            Refresh();
            if (outcome.result.status == OpStatus::Failed) {
                ShowMessage(outcome.result.messageId);
            } else if (!outcome.recordError.empty()) {
                ShowMessageText(outcome.recordError, MB_OK | MB_ICONERROR);
            }
        });
}

void CViewSite::SetConnecting(bool connecting)
{
    if (m_Connecting.Set(connecting) && connecting) {
        m_pConnectButton->setEnabled(false);
    }
}

std::unique_ptr<CStation> CViewSite::PrepareJoinHeld()
{
    CKestrowApp &app = theApp();
    CStationMngr *stations = app.StationMngr();
    CProfileMngr *store = app.ProfileMngr();
    CStation *station = SelectedStation();
    if (stations == nullptr || store == nullptr || station == nullptr || !m_pConnectButton->isEnabled()) {
        return nullptr;
    }
    const QTreeWidgetItem *row = m_pList->currentItem();
    const bool wep = row != nullptr && row->text(kSecurityColumn).startsWith(QLatin1String("WEP"));
    if (wep && station->ActiveSecKey < 0) {
        store->SetEditStation(station);
        const int result = EditStationHeld(EDIT_SECURITY);
        store->SetEditStation(nullptr);
        if (result == SHEET_CANCEL) {
            return nullptr;
        }
    }
    return std::make_unique<CStation>(*station);
}

void CViewSite::OnSaveProfile()
{
    // The station list is rebuilt on this thread only, so the record stays
    // while the operation copies it under the main lock.
    const CStation *station = SelectedStation();
    if (station == nullptr) {
        return;
    }
    const QString caption = QStr(LoadString(IDS_SAVE_CONNECTION));
    const CProfileOpResult result =
        CProfileOps(theApp()).SaveStation(*station, [this, &caption](std::string &name) {
            CEditProfile sheet(caption, name, this);
            m_pEditSheet = &sheet;
            const bool accepted = RunSheet(sheet) == QDialog::Accepted;
            m_pEditSheet = nullptr;
            name = sheet.ProfileName();
            return accepted;
        });
    if (result.status == OpStatus::Busy) {
        return;
    }
    if (CSectionLock lock(theApp(), Section::Main); lock) {
        RefreshHeld();
    }
    if (const std::string text = result.Describe(); !text.empty()) {
        ShowMessageText(text, MB_OK | MB_ICONERROR);
    }
    if (result.Ok() && result.changed) {
        UpdateMainWindow();
    }
}

void CViewSite::OnEditConnection()
{
    CSectionLock lock(theApp(), Section::Main);
    if (!lock) {
        return;
    }
    // Only the connected station's security can be edited.
    if (m_pEditButton->isEnabled()) {
        const CStation *station = SelectedStation();
        if (station != nullptr && IsConnectedStation(*station)) {
            EditStationHeld(EDIT_CONNECTION);
        }
    }
}

int CViewSite::EditStationHeld(int mode)
{
    CKestrowApp &app = theApp();
    CProfileMngr *store = app.ProfileMngr();
    CStation *station = SelectedStation();
    if (station == nullptr || store == nullptr || mode == EDIT_SAVE_PROFILE) {
        return SHEET_OK;
    }
    QString caption;
    if (mode == EDIT_CONNECTION) {
        caption = QStr(LoadString(IDS_EDIT_CONNECTION));
        store->SetEditStation(station);
    } else {
        caption = QStr(LoadString(IDS_ENTER_SECURITY));
    }

    int result = SHEET_CANCEL;
    {
        CEditProfile sheet(caption, kEditStationName, this);
        m_pEditSheet = &sheet;
        result = RunSheet(sheet) == QDialog::Accepted ? SHEET_OK : SHEET_CANCEL;
        m_pEditSheet = nullptr;
    }

    if (mode == EDIT_CONNECTION) {
        store->SetEditStation(nullptr);
        if (result == SHEET_OK && !station->Apply(CStation::SecurityOnly)) {
            ShowMessage(IDS_DRIVER_ERROR);
        }
    }
    RefreshHeld();
    return result;
}

} // namespace kestrow
