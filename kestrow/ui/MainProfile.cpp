#include "MainProfile.h"

#include <QAction>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <memory>

#include "EditProfile.h"
#include "IMainWindow.h"
#include "KestrowApp.h"
#include "MessageSink.h"
#include "NoAdapter.h"
#include "ProfileIcons.h"
#include "ProfileMngr.h"
#include "ProfileOps.h"
#include "SectionLock.h"
#include "ConnectOps.h"
#include "CoreTask.h"
#include "StringTable.h"

namespace kestrow {

namespace {
constexpr int kIconSize = 16;
constexpr int kRefreshRetryMs = 20;

QTreeView *MakeList(int id, CProfileListProxy &view)
{
    auto *list = CQtControlParent::Tag(new QTreeView, id);
    list->setModel(&view);
    list->setRootIsDecorated(false);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
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

} // namespace

CMainProfile::CMainProfile(QWidget *parent)
    : QWidget(parent), m_Controls(this), m_AutoView(m_Model, true), m_OtherView(m_Model, false)
{
    setObjectName(QStringLiteral("Profiles"));
    auto *layout = new QVBoxLayout(this);

    auto *autoGroup = new QGroupBox(QStringLiteral("Auto-Selection Profiles"));
    auto *autoLayout = new QHBoxLayout(autoGroup);
    m_pAutoList = MakeList(IDC_AUTO_LIST, m_AutoView);
    autoLayout->addWidget(m_pAutoList, 1);
    auto *arrows = new QVBoxLayout;
    m_UpIcon = CProfileIcons::Arrow(true);
    m_DownIcon = CProfileIcons::Arrow(false);
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
    m_pOtherList = MakeList(IDC_OTHER_LIST, m_OtherView);
    otherLayout->addWidget(m_pOtherList);
    layout->addWidget(otherGroup, 1);

    auto *legend = new QHBoxLayout;
    auto *legendIcon = new QLabel;
    legendIcon->setPixmap(CProfileIcons::Connected().pixmap(kIconSize, kIconSize));
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
    for (QTreeView *list : {m_pAutoList, m_pOtherList}) {
        list->installEventFilter(this);
        connect(list, &QTreeView::doubleClicked, this, [this, list] {
            m_pActiveList = list;
            OnConnect();
        });
        connect(list, &QTreeView::customContextMenuRequested, this,
                [this, list](const QPoint &pos) { ShowContextMenu(list, pos); });
    }
    connect(m_pAutoList->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CMainProfile::UpdateArrows);
    // A profile whose place changes moves under the current row.
    connect(&m_Model, &QAbstractItemModel::dataChanged, this, &CMainProfile::UpdateArrows);
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
        std::vector<CProfileRow> rows = CProfileModel::ReadRows(theApp());
        lock.Unlock();
        m_Model.Apply(std::move(rows));
        UpdateArrows();
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

void CMainProfile::UpdateArrows()
{
    const QModelIndex current = m_pAutoList->currentIndex();
    const bool valid = current.isValid();
    m_pUp->setEnabled(valid && m_AutoView.RowAt(current).canMoveUp);
    m_pDown->setEnabled(valid && m_AutoView.RowAt(current).canMoveDown);
}

void CMainProfile::SizeColumns(QTreeView *list)
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
    if (watched == m_pAutoList || watched == m_pOtherList) {
        auto *list = static_cast<QTreeView *>(watched);
        if (event->type() == QEvent::FocusIn) {
            m_pActiveList = list;
        } else if (event->type() == QEvent::Resize) {
            SizeColumns(list);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CMainProfile::SetActiveList(QTreeView *list)
{
    if (list == m_pAutoList || list == m_pOtherList) {
        m_pActiveList = list;
    }
}

const CProfileListProxy &CMainProfile::ViewOf(const QTreeView *list) const
{
    return list == m_pAutoList ? m_AutoView : m_OtherView;
}

bool CMainProfile::SelectProfile(const std::string &name)
{
    for (QTreeView *list : {m_pAutoList, m_pOtherList}) {
        const QModelIndex index = ViewOf(list).IndexOfName(name);
        if (index.isValid()) {
            list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
            m_pActiveList = list;
            return true;
        }
    }
    return false;
}

std::string CMainProfile::RowName(const QTreeView *list) const
{
    const QModelIndex current = list != nullptr ? list->currentIndex() : QModelIndex();
    return current.isValid() && list->selectionModel()->isSelected(current) ? ViewOf(list).RowAt(current).name
                                                                            : std::string();
}

std::string CMainProfile::SelectedName() const
{
    return RowName(m_pActiveList);
}

bool CMainProfile::IsMarkedConnected(const std::string &name) const
{
    const int row = m_Model.RowOfKey(name);
    return row >= 0 && m_Model.At(row).connected;
}

QMenu *CMainProfile::CreateContextMenu()
{
    const QModelIndex current = m_pActiveList->currentIndex();
    if (SelectedName().empty()) {
        return nullptr;
    }
    const bool autoSelect = ViewOf(m_pActiveList).RowAt(current).autoSelect;
    struct Item {
        QString text;  // empty: a separator
        int id;
        void (CMainProfile::*handler)();
    };
    const Item items[] = {
        {QStringLiteral("&Add"), ID_PROFILE_ADD, &CMainProfile::OnNew},
        {QStringLiteral("&Edit"), ID_PROFILE_EDIT, &CMainProfile::OnEdit},
        {QStringLiteral("Du&plicate"), ID_PROFILE_DUPLICATE, &CMainProfile::OnDuplicate},
        {QStringLiteral("&Delete"), ID_PROFILE_DELETE, &CMainProfile::OnDelete},
        {QString(), 0, nullptr},
        {QStringLiteral("&Connect"), ID_PROFILE_CONNECT, &CMainProfile::OnConnect},
        autoSelect ? Item{QStringLiteral("Remove from Au&to-Selection"), ID_PROFILE_REMOVE_AUTO,
                          &CMainProfile::OnToggleAutoSelect}
                   : Item{QStr(LoadString(IDS_ADD_AUTO_SELECTION)), ID_PROFILE_ADD_AUTO,
                          &CMainProfile::OnToggleAutoSelect},
        {QString(), 0, nullptr},
        {QStringLiteral("Export Profile..."), ID_PROFILE_EXPORT, &CMainProfile::OnExport},
        {QStringLiteral("Import Profiles..."), ID_PROFILE_IMPORT, &CMainProfile::OnImport},
        {QStringLiteral("Export All Profiles..."), ID_PROFILE_EXPORT_ALL, &CMainProfile::OnExportAll},
    };
    auto *menu = new QMenu(this);
    menu->setProperty(kCtrlIdProperty, static_cast<int>(IDR_PROFILE_MENU));
    for (const Item &item : items) {
        if (item.text.isEmpty()) {
            menu->addSeparator();
            continue;
        }
        QAction *action = menu->addAction(item.text);
        action->setProperty(kCtrlIdProperty, item.id);
        connect(action, &QAction::triggered, this, item.handler);
    }
    return menu;
}

void CMainProfile::ShowContextMenu(QTreeView *list, const QPoint &pos)
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
    if (RefuseWithoutAdapter()) {
        return;
    }
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
