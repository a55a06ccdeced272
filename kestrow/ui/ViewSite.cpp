#include "ViewSite.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <array>
#include <optional>
#include <utility>

#include "AdapterState.h"
#include "CoreTask.h"
#include "KestrowApp.h"
#include "MessageSink.h"
#include "NoAdapter.h"
#include "ProfileMngr.h"
#include "StringTable.h"

namespace kestrow {

namespace {

struct Column {
    double apWidth;
    double netWidth;  // 0: not in the network view
};
// Column widths as fractions of the list's width.
constexpr std::array<Column, CSurveyTable::kColumns> kColumns{{
    {0.153237, 0.231773},
    {0.275657, 0.416934},
    {0.119310, 0.180458},
    {0.112949, 0.170836},
    {0.112949, 0},
    {0.112949, 0},
    {0.338846, 0},
}};

} // namespace

CViewSite::CViewSite(QWidget *parent)
    : QDialog(parent), m_Controls(this), m_ApView(m_Model), m_NetView(m_Model), m_Commands(*this)
{
    connect(&m_Commands, &CSiteCommands::BusyChanged, this, &CViewSite::UpdateButtons);
    connect(&m_Commands, &CSiteCommands::StationsChanged, this, &CViewSite::Refresh);
    setObjectName(QStringLiteral("AvailableNetworks"));
    setWindowTitle(QStringLiteral("Available Networks"));
    setModal(false);
    auto *layout = new QVBoxLayout(this);

    m_pList = CQtControlParent::Tag(new QTreeView, IDC_LIST);
    m_pList->setRootIsDecorated(false);
    m_pList->setItemsExpandable(false);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
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
    const std::array<std::pair<int, const char *>, 5> entries{{{CStationModel::IMG_EXCELLENT, "Excellent"},
                                                               {CStationModel::IMG_GOOD, "Good"},
                                                               {CStationModel::IMG_FAIR, "Fair"},
                                                               {CStationModel::IMG_POOR, "Poor"},
                                                               {CStationModel::IMG_CONNECTED, "Connected"}}};
    for (const auto &[image, text] : entries) {
        auto *picture = new QLabel;
        picture->setPixmap(CStationModel::LegendPicture(image, grey));
        auto *label = new QLabel(QString::fromLatin1(text));
        label->setTextFormat(Qt::PlainText);
        if (image == CStationModel::IMG_CONNECTED) {
            CQtControlParent::Tag(label, IDC_LEGEND_CONNECTED);
        }
        legend->addWidget(picture);
        legend->addWidget(label);
        legend->addSpacing(12);
    }
    legend->addStretch(1);
    layout->addLayout(legend);

    m_pAdapter = new QLabel;
    m_pAdapter->setTextFormat(Qt::PlainText);
    m_pAdapter->hide();
    layout->addWidget(m_pAdapter);
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
        case IDC_SAVE_PROFILE: m_pSaveButton = button; break;
        case IDC_EDIT_CONN: m_pEditButton = button; break;
        case IDC_CLOSE:
            // "C&lose" is the dialog's cancel: it hides the dialog.
            connect(button, &QPushButton::clicked, this, &QDialog::reject);
            break;
        default: break;
        }
        if (id != IDC_VIEW && id != IDC_CLOSE) {
            const int command = id;
            connect(button, &QPushButton::clicked, this, [this, command] { OnCommand(command); });
        }
    }
    buttons->insertStretch(4, 1);
    layout->addLayout(buttons);

    connect(m_pList, &QTreeView::doubleClicked, this, [this] { OnConnect(); });
    connect(m_pList, &QTreeView::customContextMenuRequested, this, &CViewSite::ShowContextMenu);
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
    SetView();
}

void CViewSite::SetView()
{
    setWindowTitle(m_bNetView ? QStringLiteral("Available Networks") : QStringLiteral("Available AP's"));
    m_pViewButton->setText(QStr(LoadString(m_bNetView ? IDS_AP_VIEW : IDS_NETWORK_VIEW)));
    QItemSelectionModel *previous = m_pList->selectionModel();
    m_pList->setModel(&View());
    delete previous;
    connect(m_pList->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { OnCurrentRowChanged(current); });
    if (m_nSortColumn >= View().columnCount()) {
        m_nSortColumn = 0;
        m_bSortAscending = true;
    }
    MakeColumns();
    OnColumnClick(-1);
    KeepSelection();
    UpdateButtons();
    // The station list is reduced or restored for the view.
    RequestRows(true);
}

void CViewSite::MakeColumns()
{
    const int viewport = m_pList->viewport()->width();
    const int width = isVisible() && viewport > 100 ? viewport : m_pList->minimumWidth();
    for (int i = 0; i < View().columnCount(); ++i) {
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
    SetView();
}

void CViewSite::OnColumnClick(int column)
{
    // -1: sort again as before (a new view).
    if (column >= View().columnCount()) {
        return;
    }
    if (column == m_nSortColumn) {
        m_bSortAscending = !m_bSortAscending;
    } else if (column >= 0) {
        m_nSortColumn = column;
        m_bSortAscending = true;
    }
    const Qt::SortOrder order = m_bSortAscending ? Qt::AscendingOrder : Qt::DescendingOrder;
    View().sort(m_nSortColumn, order);
    m_pList->header()->setSortIndicator(m_nSortColumn, order);
}

void CViewSite::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    UpdateAdapterLabel();
    Refresh();
}

void CViewSite::Refresh()
{
    RequestRows(false);
}

void CViewSite::RequestRows(bool updateFromScan)
{
    m_bScanUpdate = m_bScanUpdate || updateFromScan;
    if (m_bRowsPending) {
        m_bRowsAgain = true;
        return;
    }
    m_bRowsPending = true;
    using Rows = std::optional<std::vector<CSurveyRow>>;
    RunCoreTask<Rows>(
        this, [update = std::exchange(m_bScanUpdate, false)] { return CSiteCommands::BuildRows(update); },
        [this](Rows rows) {
            m_bRowsPending = false;
            if (rows) {
                ApplyStations(std::move(*rows));
            }
            if (std::exchange(m_bRowsAgain, false)) {
                RequestRows(false);
            }
        });
}

void CViewSite::ApplyStations(std::vector<CSurveyRow> apRows)
{
    ++m_nRefreshes;
    // A current row that goes moves the view's current row elsewhere: not a
    // pick of the user's.
    m_bApplying = true;
    m_Model.Apply(std::move(apRows));
    m_bApplying = false;
    KeepSelection();
    UpdateButtons();
    UpdateAdapterLabel();
    UpdateProgress();
    emit StationsApplied();
}

void CViewSite::KeepSelection()
{
    // The row the user picked when it is (back) in the list; otherwise the
    // current row while it stays; otherwise the first row.
    QModelIndex target = m_strSelectedKey.empty() ? QModelIndex() : View().IndexOfKey(m_strSelectedKey);
    const QModelIndex current = m_pList->currentIndex();
    if (!target.isValid()) {
        target = current.isValid() ? current : View().index(0, 0);
    }
    if (!target.isValid() || target.row() == current.row()) {
        return;
    }
    const std::string picked = m_strSelectedKey;
    m_pList->selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
    m_strSelectedKey = picked;
}

void CViewSite::UpdateAdapterLabel()
{
    const QString text = QString::fromLatin1(AdapterStateText(theApp().AdapterState()));
    m_pAdapter->setText(text);
    m_pAdapter->setVisible(!text.isEmpty());
}

void CViewSite::UpdateProgress()
{
    if (!m_pProgress->isVisible()) {
        return;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(Now() - m_ScanStart).count();
    if (elapsed < kScanSeconds) {
        m_pProgress->setValue(static_cast<int>(std::max<long long>(0, elapsed)));
    } else {
        m_pProgress->hide();
    }
}

int CViewSite::SelectedModelRow() const
{
    const QModelIndex current = m_pList->currentIndex();
    return current.isValid() ? View().mapToSource(current).row() : -1;
}

std::string CViewSite::SelectedRowKey() const
{
    const int row = SelectedModelRow();
    return row < 0 ? std::string() : View().RowKey(row);
}

std::string CViewSite::SelectedStationKey() const
{
    const int row = SelectedModelRow();
    return row < 0 ? std::string() : m_Model.Row(row).stationKey;
}

bool CViewSite::SelectRow(const std::string &rowKey)
{
    const QModelIndex index = View().IndexOfKey(rowKey);
    if (!index.isValid()) {
        return false;
    }
    m_pList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    // The same row again still counts as a click.
    OnCurrentRowChanged(index);
    return true;
}

void CViewSite::OnCurrentRowChanged(const QModelIndex &current)
{
    if (current.isValid() && !m_bApplying) {
        m_strSelectedKey = View().RowKey(View().mapToSource(current).row());
    }
    UpdateButtons();
}

void CViewSite::UpdateButtons()
{
    const int row = SelectedModelRow();
    const bool connected = row >= 0 && m_Model.Row(row).connected;
    m_pConnectButton->setEnabled(!connected && !Busy());
    m_pEditButton->setEnabled(connected && !Busy());
    m_pSaveButton->setEnabled(!Busy());
}

QMenu *CViewSite::CreateContextMenu()
{
    const int row = SelectedModelRow();
    if (row < 0) {
        return nullptr;
    }
    UpdateButtons();
    const bool connected = m_Model.Row(row).connected;
    auto *menu = new QMenu(this);
    const std::array<std::pair<int, const char *>, 4> items{{{ID_SITE_CONNECT, "&Connect"},
                                                              {ID_SITE_SAVE_PROFILE, "&Save as Profile"},
                                                              {ID_SITE_EDIT_CONNECTION, "E&dit Connection"},
                                                              {ID_SITE_RESCAN, "&Rescan"}}};
    for (const auto &[id, text] : items) {
        QAction *action = menu->addAction(QString::fromLatin1(text));
        action->setProperty(kCtrlIdProperty, id);
        if (id == ID_SITE_CONNECT) {
            action->setEnabled(!connected && !Busy());
        } else if (id == ID_SITE_EDIT_CONNECTION) {
            action->setEnabled(connected && !Busy());
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
    if (RefuseWithoutAdapter()) {
        return;
    }
    m_Commands.Rescan();
    m_ScanStart = Now();
    m_pProgress->setRange(0, kScanSeconds);
    m_pProgress->setValue(0);
    m_pProgress->show();
}

void CViewSite::OnConnect()
{
    if (RefuseWithoutAdapter()) {
        return;
    }
    if (const int row = SelectedModelRow(); row >= 0) {
        m_Commands.Connect(m_Model.Row(row));
    }
}

void CViewSite::OnSaveProfile()
{
    m_Commands.SaveProfile(SelectedStationKey());
}

void CViewSite::OnEditConnection()
{
    if (const int row = SelectedModelRow(); row >= 0) {
        m_Commands.EditConnection(m_Model.Row(row));
    }
}

} // namespace kestrow
