#include "MainProfile.h"

#include <QAction>
#include <QEvent>
#include <QMouseEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

#include "EditProfile.h"
#include "IMainWindow.h"
#include "KestrowApp.h"
#include "MessageSink.h"
#include "Poll.h"
#include "ProfileListing.h"
#include "ProfileMngr.h"
#include "ProfileOps.h"
#include "QtMessageSink.h"
#include "SectionLock.h"
#include "ConnectOps.h"
#include "CoreTask.h"
#include "Station.h"
#include "StationMngr.h"
#include "StringTable.h"

namespace kestrow {

namespace {
constexpr int kNameRole = Qt::UserRole;
constexpr int kIconSize = 16;
constexpr int kRefreshRetryMs = 20;

// Image 0 of the lists: a green disc with a white tick.
QIcon ConnectedIcon()
{
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1B, 0x5E, 0x20), 1));
    p.setBrush(QColor(0x43, 0xA0, 0x47));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(4.5, 8.5);
    tick.lineTo(7, 11);
    tick.lineTo(11.5, 5.5);
    p.drawPath(tick);
    return QIcon(pixmap);
}

// The arrow buttons' pictures, enabled and disabled.
QIcon ArrowIcon(bool up)
{
    QIcon icon;
    for (const bool enabled : {true, false}) {
        QPixmap pixmap(kIconSize, kIconSize);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor colour = enabled ? QColor(0x1A, 0x4F, 0x8B) : QColor(0xA0, 0xA0, 0xA0);
        p.setPen(QPen(colour.darker(120), 1));
        p.setBrush(colour);
        QPolygonF arrow;
        if (up) {
            arrow << QPointF(8, 2) << QPointF(14, 9) << QPointF(10.5, 9) << QPointF(10.5, 14)
                  << QPointF(5.5, 14) << QPointF(5.5, 9) << QPointF(2, 9);
        } else {
            arrow << QPointF(8, 14) << QPointF(14, 7) << QPointF(10.5, 7) << QPointF(10.5, 2)
                  << QPointF(5.5, 2) << QPointF(5.5, 7) << QPointF(2, 7);
        }
        p.drawPolygon(arrow);
        p.end();
        icon.addPixmap(pixmap, enabled ? QIcon::Normal : QIcon::Disabled);
    }
    return icon;
}

QTreeWidget *MakeList(int id)
{
    auto *list = CQtControlParent::Tag(new QTreeWidget, id);
    list->setColumnCount(3);
    list->setHeaderLabels({QStringLiteral("Profile Name"), QStringLiteral("Network Name (SSID)"),
                           QStringLiteral("Security")});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setUniformRowHeights(true);
    list->setIconSize(QSize(kIconSize, kIconSize));
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->header()->setStretchLastSection(false);
    list->header()->setDefaultAlignment(Qt::AlignLeft);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return list;
}

QAction *AddCommand(QMenu *menu, const QString &text, int id)
{
    QAction *action = menu->addAction(text);
    action->setProperty(kCtrlIdProperty, id);
    return action;
}
} // namespace

CMainProfile::CMainProfile(QWidget *parent) : QWidget(parent), m_Controls(this)
{
    setObjectName(QStringLiteral("Profiles"));
    auto *layout = new QVBoxLayout(this);

    auto *autoGroup = new QGroupBox(QStringLiteral("Auto-Selection Profiles"));
    auto *autoLayout = new QHBoxLayout(autoGroup);
    m_pAutoList = MakeList(IDC_AUTO_LIST);
    autoLayout->addWidget(m_pAutoList, 1);
    auto *arrows = new QVBoxLayout;
    m_UpIcon = ArrowIcon(true);
    m_DownIcon = ArrowIcon(false);
    m_pUp = CQtControlParent::Tag(new QToolButton, IDC_UP);
    m_pUp->setIcon(m_UpIcon);
    m_pUp->setToolTip(QStringLiteral("Move up"));
    m_pDown = CQtControlParent::Tag(new QToolButton, IDC_DOWN);
    m_pDown->setIcon(m_DownIcon);
    m_pDown->setToolTip(QStringLiteral("Move down"));
    arrows->addStretch(1);
    arrows->addWidget(m_pUp);
    arrows->addWidget(m_pDown);
    arrows->addStretch(1);
    autoLayout->addLayout(arrows);
    layout->addWidget(autoGroup, 1);

    auto *otherGroup = new QGroupBox(QStringLiteral("Additional Profiles"));
    auto *otherLayout = new QVBoxLayout(otherGroup);
    m_pOtherList = MakeList(IDC_OTHER_LIST);
    otherLayout->addWidget(m_pOtherList);
    layout->addWidget(otherGroup, 1);

    m_ConnectedIcon = ConnectedIcon();
    auto *legend = new QHBoxLayout;
    auto *legendIcon = new QLabel;
    legendIcon->setPixmap(m_ConnectedIcon.pixmap(kIconSize, kIconSize));
    legend->addWidget(legendIcon);
    legend->addWidget(CQtControlParent::Tag(new QLabel(QStringLiteral("Connected")), IDC_CONNECTED_LEGEND));
    legend->addStretch(1);
    layout->addLayout(legend);

    auto *commands = new QGridLayout;
    struct Button {
        const char *text;
        int id;
        void (CMainProfile::*handler)();
    };
    const Button buttons[] = {
        {"&Connect", IDC_CONNECT, &CMainProfile::OnConnect},
        {"&New", IDC_NEW, &CMainProfile::OnNew},
        {"&Edit", IDC_EDIT, &CMainProfile::OnEdit},
        {"&Delete", IDC_DELETE, &CMainProfile::OnDelete},
        {"Export Profile...", ID_PROFILE_EXPORT, &CMainProfile::OnExport},
        {"Import Profiles...", ID_PROFILE_IMPORT, &CMainProfile::OnImport},
        {"Export All Profiles...", ID_PROFILE_EXPORT_ALL, &CMainProfile::OnExportAll},
    };
    int column = 0;
    for (const Button &b : buttons) {
        auto *button = CQtControlParent::Tag(new QPushButton(QString::fromLatin1(b.text)), b.id);
        const int row = column < 4 ? 0 : 1;
        commands->addWidget(button, row, row == 0 ? column : column - 4);
        connect(button, &QPushButton::clicked, this, b.handler);
        ++column;
    }
    layout->addLayout(commands);

    connect(m_pUp, &QToolButton::clicked, this, &CMainProfile::OnPriorityUp);
    connect(m_pDown, &QToolButton::clicked, this, &CMainProfile::OnPriorityDown);
    for (QTreeWidget *list : {m_pAutoList, m_pOtherList}) {
        list->installEventFilter(this);
        // A double click connects.  It is taken from the viewport's own
        // event: an item view reports a double click only on the item its
        // last press landed on, and the lists are filled anew on every full
        // refresh, so a refill between the press and the double click made
        // the view drop it.
        list->viewport()->installEventFilter(this);
        connect(list, &QTreeWidget::customContextMenuRequested, this,
                [this, list](const QPoint &pos) { ShowContextMenu(list, pos); });
    }
    connect(m_pAutoList, &QTreeWidget::currentItemChanged, this, [this] {
        m_nSelRow = m_pAutoList->currentItem() != nullptr
                        ? m_pAutoList->indexOfTopLevelItem(m_pAutoList->currentItem())
                        : -1;
        UpdateArrows();
    });
    m_pActiveList = m_pAutoList;
    UpdateArrows();
}

CMainProfile::~CMainProfile() = default;

void CMainProfile::OnInitDialog()
{
    if (m_bInitialized) {
        return;
    }
    SizeColumns(m_pAutoList);
    SizeColumns(m_pOtherList);
    m_bInitialized = true;
}

void CMainProfile::OnSetActive()
{
    OnInitDialog();
    Refresh();
}

void CMainProfile::Refresh()
{
    if (!m_bInitialized) {
        return;
    }
    if (CSectionLock lock(theApp(), Section::Main); lock) {
        FillLists();
        return;
    }
    // Busy: the main timer routine is refreshing the pages under the lock,
    // or the polling thread is at work.  Fill once it is free.
    if (!m_bFillPending) {
        m_bFillPending = true;
        QTimer::singleShot(kRefreshRetryMs, this, [this] {
            m_bFillPending = false;
            Refresh();
        });
    }
}

void CMainProfile::FillLists()
{
    const std::string autoSelected = RowName(m_pAutoList);
    const std::string otherSelected = RowName(m_pOtherList);
    m_pAutoList->clear();
    m_pOtherList->clear();

    CKestrowApp &app = theApp();
    CProfileMngr *store = app.ProfileMngr();
    if (store != nullptr) {
        const CStation *connected = app.StationMngr() != nullptr ? app.StationMngr()->GetConnectedStation()
                                                                  : nullptr;
        const CProfile *current = connected == nullptr && app.AdHocConnected() ? store->GetCurrent()
                                                                                       : nullptr;
        auto addRow = [&](QTreeWidget *list, const CProfile &profile) {
            auto *item = new QTreeWidgetItem(list);
            item->setText(0, QStr(profile.ProfName));
            item->setData(0, kNameRole, QStr(profile.ProfName));
            item->setText(1, QStr(profile.NetName));
            item->setText(2, profile.SecType != 0 ? QStringLiteral("WEP") : QStringLiteral("None"));
            const bool mark = connected != nullptr ? connected->NetName == profile.NetName : &profile == current;
            if (mark) {
                item->setIcon(0, m_ConnectedIcon);
            }
            if (profile.ProfName == (list == m_pAutoList ? autoSelected : otherSelected)) {
                list->setCurrentItem(item);
            }
        };
        const CProfileListing listing(*store);
        for (const CProfile *profile : listing.AutoSelection()) {
            addRow(m_pAutoList, *profile);
        }
        for (const CProfile *profile : listing.Others()) {
            addRow(m_pOtherList, *profile);
        }
    }
    m_nSelRow = m_pAutoList->currentItem() != nullptr ? m_pAutoList->indexOfTopLevelItem(m_pAutoList->currentItem())
                                                      : -1;
    UpdateArrows();
}

void CMainProfile::UpdateArrows()
{
    bool up = false;
    bool down = false;
    CProfileMngr *store = theApp().ProfileMngr();
    if (store != nullptr && store->GetCount() > 0 && m_nSelRow >= 0) {
        const QTreeWidgetItem *item = m_pAutoList->topLevelItem(m_nSelRow);
        const CProfile *profile =
            item != nullptr ? store->Get(StdStr(item->data(0, kNameRole).toString())) : nullptr;
        if (profile != nullptr) {
            up = profile->Priority - 1 >= 0;
            down = profile->Priority + 1 < store->GetAutoSelectCount();
        }
    }
    m_pUp->setEnabled(up);
    m_pDown->setEnabled(down);
}

void CMainProfile::SizeColumns(QTreeWidget *list)
{
    const int width = list->viewport()->width();
    for (int c = 0; c < 3; ++c) {
        list->setColumnWidth(c, static_cast<int>(width * kColumnShares[c]));
    }
}

void CMainProfile::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    SizeColumns(m_pAutoList);
    SizeColumns(m_pOtherList);
}

bool CMainProfile::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (QTreeWidget *list : {m_pAutoList, m_pOtherList}) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (watched != list->viewport() || mouse->button() != Qt::LeftButton) {
                continue;
            }
            if (QTreeWidgetItem *item = list->itemAt(mouse->position().toPoint())) {
                list->setCurrentItem(item);
                m_pActiveList = list;
                OnConnect();
                return true;
            }
        }
    }
    if (watched == m_pAutoList || watched == m_pOtherList) {
        auto *list = static_cast<QTreeWidget *>(watched);
        if (event->type() == QEvent::FocusIn) {
            m_pActiveList = list;
        } else if (event->type() == QEvent::Resize) {
            SizeColumns(list);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CMainProfile::SetActiveList(QTreeWidget *list)
{
    if (list == m_pAutoList || list == m_pOtherList) {
        m_pActiveList = list;
    }
}

bool CMainProfile::SelectProfile(const std::string &name)
{
    for (QTreeWidget *list : {m_pAutoList, m_pOtherList}) {
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            QTreeWidgetItem *item = list->topLevelItem(row);
            if (StdStr(item->data(0, kNameRole).toString()) == name) {
                list->setCurrentItem(item);
                m_pActiveList = list;
                return true;
            }
        }
    }
    return false;
}

std::string CMainProfile::RowName(const QTreeWidget *list) const
{
    const QTreeWidgetItem *item = list != nullptr ? list->currentItem() : nullptr;
    return item != nullptr && item->isSelected() ? StdStr(item->data(0, kNameRole).toString()) : std::string();
}

std::string CMainProfile::SelectedName() const
{
    return RowName(m_pActiveList);
}

bool CMainProfile::IsMarkedConnected(const std::string &name) const
{
    for (const QTreeWidget *list : {m_pAutoList, m_pOtherList}) {
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            const QTreeWidgetItem *item = list->topLevelItem(row);
            if (StdStr(item->data(0, kNameRole).toString()) == name) {
                return !item->icon(0).isNull();
            }
        }
    }
    return false;
}

QMenu *CMainProfile::CreateContextMenu()
{
    const std::string name = SelectedName();
    CProfileMngr *store = theApp().ProfileMngr();
    const CProfile *profile = store != nullptr && !name.empty() ? store->Get(name) : nullptr;
    if (profile == nullptr) {
        return nullptr;
    }
    auto *menu = new QMenu(this);
    menu->setProperty(kCtrlIdProperty, static_cast<int>(IDR_PROFILE_MENU));
    connect(AddCommand(menu, QStringLiteral("&Add"), ID_PROFILE_ADD), &QAction::triggered, this,
            &CMainProfile::OnNew);
    connect(AddCommand(menu, QStringLiteral("&Edit"), ID_PROFILE_EDIT), &QAction::triggered, this,
            &CMainProfile::OnEdit);
    connect(AddCommand(menu, QStringLiteral("Du&plicate"), ID_PROFILE_DUPLICATE), &QAction::triggered, this,
            &CMainProfile::OnDuplicate);
    connect(AddCommand(menu, QStringLiteral("&Delete"), ID_PROFILE_DELETE), &QAction::triggered, this,
            &CMainProfile::OnDelete);
    menu->addSeparator();
    connect(AddCommand(menu, QStringLiteral("&Connect"), ID_PROFILE_CONNECT), &QAction::triggered, this,
            &CMainProfile::OnConnect);
    QAction *toggle = profile->AutoSelect
                          ? AddCommand(menu, QStringLiteral("Remove from Au&to-Selection"), ID_PROFILE_REMOVE_AUTO)
                          : AddCommand(menu, QStr(LoadString(IDS_ADD_AUTO_SELECTION)), ID_PROFILE_ADD_AUTO);
    connect(toggle, &QAction::triggered, this, &CMainProfile::OnToggleAutoSelect);
    menu->addSeparator();
    connect(AddCommand(menu, QStringLiteral("Export Profile..."), ID_PROFILE_EXPORT), &QAction::triggered, this,
            &CMainProfile::OnExport);
    connect(AddCommand(menu, QStringLiteral("Import Profiles..."), ID_PROFILE_IMPORT), &QAction::triggered, this,
            &CMainProfile::OnImport);
    connect(AddCommand(menu, QStringLiteral("Export All Profiles..."), ID_PROFILE_EXPORT_ALL), &QAction::triggered,
            this, &CMainProfile::OnExportAll);
    return menu;
}

void CMainProfile::ShowContextMenu(QTreeWidget *list, const QPoint &pos)
{
    m_pActiveList = list;
    std::unique_ptr<QMenu> menu(CreateContextMenu());
    if (menu != nullptr) {
        menu->exec(list->viewport()->mapToGlobal(pos));
    }
}

int CMainProfile::RunSheet(CEditProfile &sheet)
{
    return m_SheetRunner ? m_SheetRunner(sheet) : sheet.exec();
}

CProfileOps::Editor CMainProfile::SheetEditor(const QString &caption)
{
    return [this, caption](std::string &name) {
        CEditProfile sheet(caption, name, this);
        const bool accepted = RunSheet(sheet) == QDialog::Accepted;
        name = sheet.ProfileName();
        return accepted;
    };
}

void CMainProfile::ShowResult(const COpResult &result)
{
    if (result.status == OpStatus::Busy) {
        return;
    }
    Refresh();
    const std::string text = result.Describe();
    if (!text.empty()) {
        ShowMessageText(text, MB_OK | MB_ICONERROR);
    }
}

void CMainProfile::OnNew()
{
    ShowResult(CProfileOps(theApp()).New(SheetEditor(QStr(LoadString(IDS_PROFILE_CONFIGURATION)))));
}

void CMainProfile::OnEdit()
{
    const std::string name = SelectedName();
    if (!name.empty()) {
        const QString caption = QStr(LoadString(IDS_PROFILE_CONFIGURATION)) + QStringLiteral(": ") + QStr(name);
        ShowResult(CProfileOps(theApp()).Edit(name, SheetEditor(caption)));
    }
}

void CMainProfile::OnDuplicate()
{
    const std::string name = SelectedName();
    if (!name.empty()) {
        ShowResult(CProfileOps(theApp()).Duplicate(name, SheetEditor(QStr(LoadString(IDS_PROFILE_CONFIGURATION)))));
    }
}

void CMainProfile::OnDelete()
{
    const std::string name = SelectedName();
    if (!name.empty()) {
        ShowResult(CProfileOps(theApp()).Delete(name));
    }
}

void CMainProfile::OnToggleAutoSelect()
{
    const std::string name = SelectedName();
    if (!name.empty()) {
        ShowResult(CProfileOps(theApp()).ToggleAutoSelect(name));
    }
}

void CMainProfile::OnPriorityUp()
{
    MovePriority(-1);
}

void CMainProfile::OnPriorityDown()
{
    MovePriority(+1);
}

void CMainProfile::MovePriority(int step)
{
    // The arrows move the selected row of the auto-selection list, and only
    // while a row of the active list is selected.
    const std::string name = RowName(m_pAutoList);
    if (RowName(m_pActiveList).empty() || name.empty()) {
        return;
    }
    ShowResult(CProfileOps(theApp()).Move(name, step));
}

void CMainProfile::OnConnect()
{
    m_nSelRow = m_pAutoList->currentItem() != nullptr ? m_pAutoList->indexOfTopLevelItem(m_pAutoList->currentItem())
                                                      : -1;
    const std::string name = SelectedName();
    if (name.empty() || m_Connecting.Busy()) {
        return;
    }
    SetConnecting(true);
    RunCoreTask<CConnectOps::Outcome>(
        this, [name] { return CConnectOps(theApp()).ConnectProfile(name); },
        [this](CConnectOps::Outcome outcome) {
            SetConnecting(false);
            if (outcome.result.status != OpStatus::Failed) {
                return;
            }
            ShowMessage(outcome.result.messageId);
            if (IMainWindow *window = theApp().GetMainWindow()) {
                window->UpdatePages(false);
            }
        });
}

void CMainProfile::SetConnecting(bool connecting)
{
    if (!m_Connecting.Set(connecting)) {
        return;
    }
    if (QWidget *button = m_Controls.Control(IDC_CONNECT)) {
        button->setEnabled(!connecting);
    }
}

QString CMainProfile::ChooseFile(bool save)
{
    if (m_FileChooser) {
        return m_FileChooser(save);
    }
    const QString title = QStr(LoadString(IDS_PROFILE_CONFIGURATION));
    const QString filter = QStringLiteral("Profiles (*.reg)");
    return save ? QFileDialog::getSaveFileName(this, title, QString(), filter)
                : QFileDialog::getOpenFileName(this, title, QString(), filter);
}

void CMainProfile::OnExport()
{
    RegFileOp(CProfileMngr::RegExportOne);
}

void CMainProfile::OnImport()
{
    RegFileOp(CProfileMngr::RegImport);
}

void CMainProfile::OnExportAll()
{
    RegFileOp(CProfileMngr::RegExportAll);
}

void CMainProfile::RegFileOp(int op)
{
    std::string name;
    if (op == CProfileMngr::RegExportOne) {
        name = SelectedName();
        if (name.empty()) {
            return;
        }
    }
    const QString chosen = ChooseFile(op != CProfileMngr::RegImport);
    if (chosen.isEmpty()) {
        return;
    }
    const std::string file = QFile::encodeName(chosen).toStdString();
    CProfileOps ops(theApp());
    // The save dialog has asked before an existing file is replaced.
    switch (op) {
    case CProfileMngr::RegExportOne: ShowResult(ops.ExportOne(name, file, true)); break;
    case CProfileMngr::RegExportAll: ShowResult(ops.ExportAll(file, true)); break;
    default: ShowResult(ops.Import(file)); break;
    }
}

} // namespace kestrow
