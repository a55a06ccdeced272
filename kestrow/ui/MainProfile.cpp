#include "MainProfile.h"

#include <QAction>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
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
#include <QTemporaryFile>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <filesystem>
#include <memory>
#include <system_error>

#include "EditContext.h"
#include "EditProfile.h"
#include "IMainWindow.h"
#include "KestrowApp.h"
#include "MessageSink.h"
#include "Poll.h"
#include "ProfileMngr.h"
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
        connect(list, &QTreeWidget::itemDoubleClicked, this, [this, list] {
            SetActiveList(list);
            OnConnect();
        });
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
        const auto &profiles = store->Profiles();
        const int slotCount = static_cast<int>(store->GetCount());
        for (int slot = 0; slot < slotCount; ++slot) {
            for (const auto &entry : profiles) {
                if (entry.second->AutoSelect && entry.second->Priority == slot) {
                    addRow(m_pAutoList, *entry.second);
                }
            }
        }
        for (const auto &entry : profiles) {
            if (!entry.second->AutoSelect) {
                addRow(m_pOtherList, *entry.second);
            }
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

void CMainProfile::OnNew()
{
    RunOperation(Op::New);
}

void CMainProfile::OnEdit()
{
    RunOperation(Op::Edit);
}

void CMainProfile::OnDuplicate()
{
    RunOperation(Op::Duplicate);
}

void CMainProfile::OnDelete()
{
    RunOperation(Op::Delete);
}

void CMainProfile::OnToggleAutoSelect()
{
    RunOperation(Op::Toggle);
}

void CMainProfile::RunOperation(Op op)
{
    std::string name;
    if (op != Op::New) {
        name = SelectedName();
        if (name.empty()) {
            return;
        }
    }
    CProfileMngr *store = theApp().ProfileMngr();
    CSectionLock lock(theApp(), Section::Main);
    if (store == nullptr || !lock) {
        return;
    }

    QString caption = QStr(LoadString(IDS_PROFILE_CONFIGURATION));
    bool runSheet = false;
    switch (op) {
    case Op::New:
        CEditContext::SetProfileName(store->AddNew(nullptr));
        runSheet = true;
        break;
    case Op::Duplicate:
        if (const CProfile *source = store->Get(name)) {
            CEditContext::SetProfileName(store->AddNew(source));
            runSheet = true;
        }
        break;
    case Op::Edit:
        CEditContext::SetProfileName(name);
        caption += QStringLiteral(": ") + QStr(name);
        runSheet = true;
        break;
    case Op::Toggle:
        if (CProfile *profile = store->Get(name)) {
            profile->AutoSelect = !profile->AutoSelect;
            if (profile->AutoSelect) {
                profile->Priority = store->UpdatePriorities(-1);
            } else {
                store->UpdatePriorities(profile->Priority);
                profile->Priority = -1;
            }
        }
        break;
    case Op::Delete:
        store->Remove(name, true, true);
        break;
    }

    if (runSheet) {
        if (const CProfile *before = store->Get(CEditContext::GetProfileName())) {
            const bool wasMember = before->AutoSelect;
            const int oldPriority = before->Priority;
            int result = QDialog::Rejected;
            {
                CEditProfile sheet(caption, this);
                result = RunSheet(sheet);
            }
            // The General page may have renamed the record: follow the name.
            const std::string edited = CEditContext::GetProfileName();
            CProfile *profile = store->Get(edited);
            if (op == Op::Edit) {
                if (profile != nullptr && wasMember && !profile->AutoSelect) {
                    store->UpdatePriorities(oldPriority);
                    profile->Priority = -1;
                } else if (profile != nullptr && !wasMember && profile->AutoSelect) {
                    profile->Priority = store->UpdatePriorities(-1);
                }
            } else if (result != QDialog::Accepted) {
                store->Remove(edited, false, true);
            } else if (profile != nullptr) {
                if (profile->AutoSelect) {
                    profile->Priority = store->UpdatePriorities(-1);
                }
                if (!profile->Save(true)) {
                    ShowMessageText(QStringLiteral("The profile could not be saved."), MB_OK | MB_ICONERROR);
                }
            }
        }
    }
    if (!store->SaveAll()) {
        ShowMessageText(QStringLiteral("The profiles could not be saved."), MB_OK | MB_ICONERROR);
    }
    FillLists();
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
    if (RowName(m_pActiveList).empty()) {
        return;
    }
    const std::string name = RowName(m_pAutoList);
    CProfileMngr *store = theApp().ProfileMngr();
    CSectionLock lock(theApp(), Section::Main);
    if (name.empty() || store == nullptr || !lock) {
        return;
    }
    if (CProfile *profile = store->Get(name)) {
        const int priority = profile->Priority;
        const bool inRange = step < 0 ? priority > 0 : priority >= 0 && priority < store->GetAutoSelectCount();
        if (inRange) {
            if (CProfile *other = store->FindByPriority(priority + step)) {
                other->Priority = priority;
                profile->Priority = priority + step;
            }
        }
    }
    if (!store->SaveAll()) {
        ShowMessageText(QStringLiteral("The profiles could not be saved."), MB_OK | MB_ICONERROR);
    }
    FillLists();
}

void CMainProfile::OnConnect()
{
    m_nSelRow = m_pAutoList->currentItem() != nullptr ? m_pAutoList->indexOfTopLevelItem(m_pAutoList->currentItem())
                                                      : -1;
    const std::string name = SelectedName();
    if (name.empty() || m_bConnecting) {
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
    if (connecting == m_bConnecting) {
        return;
    }
    m_bConnecting = connecting;
    // The window stays usable; the cursor says a connection is under way.
    if (connecting) {
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
    if (QWidget *button = m_Controls.Control(IDC_CONNECT)) {
        button->setEnabled(!connecting);
    }
}

QString CMainProfile::HiveFileName(const QString &chosen)
{
    return chosen.contains(QLatin1String("reg")) ? chosen : chosen + QStringLiteral(".reg");
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
    CProfileMngr *store = theApp().ProfileMngr();
    CSectionLock lock(theApp(), Section::Main);
    if (chosen.isEmpty() || store == nullptr || !lock) {
        return;
    }
    const QString target = HiveFileName(chosen);
    // The save dialog has asked before an existing file is replaced; the
    // hive is then written beside it and moved over it once complete, so
    // that a failed export leaves the old file as it was.
    const bool replace = op != CProfileMngr::RegImport && target == chosen && QFileInfo::exists(target);
    QString written = target;
    if (replace) {
        QTemporaryFile part(target + QStringLiteral(".XXXXXX"));
        if (part.open()) {
            written = part.fileName();
        }
        // The temporary file goes away here; the hive takes its name.
    }
    QString error;
    try {
        // A failure has been shown by RegOp with the system's own text.
        const bool done = store->RegOp(op, QFile::encodeName(written).toStdString(),
                                       op == CProfileMngr::RegExportOne ? name.c_str() : nullptr);
        if (done && replace && written != target) {
            std::error_code ec;
            std::filesystem::rename(QFile::encodeName(written).toStdString(),
                                    QFile::encodeName(target).toStdString(), ec);
            if (ec) {
                QFile::remove(written);
                error = QStringLiteral("%1 could not be replaced: %2").arg(target, QString::fromStdString(ec.message()));
            }
        }
        // Imported profiles are kept at once, not only at the next change.
        if (done && op == CProfileMngr::RegImport && !store->SaveAll()) {
            error = QStringLiteral("The profiles could not be saved.");
        }
    } catch (const CProfileRegOpError &e) {
        error = QString::fromUtf8(e.what());
    }
    FillLists();
    lock.Unlock();
    if (!error.isEmpty()) {
        ShowMessageText(error, MB_OK | MB_ICONERROR);
    }
}

} // namespace kestrow
