// CMainProfile: the Profiles page of the main window (dialog 150).  Two
// lists show the auto-selection profiles in priority order and the other
// profiles; the row of the network the adapter is connected to carries the
// connected mark.  The page connects, creates, edits, duplicates and deletes
// profiles, moves them in and out of auto-selection, changes their priority,
// and exports and imports them as registry hive files.
//
// The page only translates between its widgets and the profile operations
// of the core (CProfileOps), which take the application's main lock; when
// the lock is busy a command does nothing, as the program's other commands
// do.  An edit sheet runs inside its operation, with the lock held.  The two
// lists are views of one CProfileModel through two CProfileListProxy; the
// model is read from the store under the lock (try form) and updated in
// place, so the selections stay on their profiles.  Connect runs on the
// device worker.
#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>

#include "BusyState.h"
#include "ProfileListProxy.h"
#include "ProfileModel.h"
#include "ProfileOps.h"
#include "QtControlParent.h"

class QMenu;
class QPushButton;
class QToolButton;
class QTreeView;

namespace kestrow {

class CEditProfile;
class CProfile;

class CMainProfile : public QWidget {
    Q_OBJECT
public:
    enum : int {
        IDD = 150,
        IDC_CONNECT = 1075,
        IDC_EDIT = 1076,
        IDC_AUTO_LIST = 1077,
        IDC_OTHER_LIST = 1078,
        IDC_NEW = 1079,
        IDC_DELETE = 1080,
        IDC_DOWN = 1138,
        IDC_UP = 1139,
        IDC_CONNECTED_LEGEND = 1178,
        IDR_PROFILE_MENU = 163,
        ID_PROFILE_ADD = 32771,
        ID_PROFILE_EDIT = 32772,
        ID_PROFILE_DUPLICATE = 32773,
        ID_PROFILE_DELETE = 32774,
        ID_PROFILE_ADD_AUTO = 32775,
        ID_PROFILE_CONNECT = 32776,
        ID_PROFILE_REMOVE_AUTO = 32778,
        ID_PROFILE_EXPORT = 32779,
        ID_PROFILE_IMPORT = 32780,
        ID_PROFILE_EXPORT_ALL = 32781,
    };
    // Column widths as fractions of a list's client width.
    static constexpr double kColumnShares[3] = {0.3030928, 0.4546392, 0.2222680};

    // What the page asks of a file dialog: `save` for an export.  An empty
    // result means the dialog was cancelled.
    using FileChooser = std::function<QString(bool save)>;
    // Runs a modal edit sheet; returns QDialog::Accepted or Rejected.
    using SheetRunner = std::function<int(CEditProfile &sheet)>;

    explicit CMainProfile(QWidget *parent = nullptr);
    ~CMainProfile() override;

    // Start-up, once: lists, pictures and the first fill.
    void OnInitDialog();
    // Page activation: start-up when needed, then Refresh.
    void OnSetActive();
    // Reads the profiles from the store into the model (no device work).
    // When the main lock is busy (the main timer routine holds it while it
    // refreshes the pages, or the polling thread is at work) the read runs
    // as soon as the lock is free.
    void Refresh();

    // Commands.  Those that need a profile use the selected row of the
    // active list and do nothing without one.
    void OnConnect();
    void OnNew();
    void OnEdit();
    void OnDuplicate();
    void OnDelete();
    void OnToggleAutoSelect();
    void OnPriorityUp();
    void OnPriorityDown();
    void OnExport();
    void OnImport();
    void OnExportAll();

    // Context menu 163 for the selected row of the active list (null when
    // the row names no profile); the caller owns it.
    QMenu *CreateContextMenu();

    // The list that received the focus last (IDC_AUTO_LIST or
    // IDC_OTHER_LIST); selecting a row by program makes its list active.
    QTreeView *ActiveList() const { return m_pActiveList; }
    void SetActiveList(QTreeView *list);
    QTreeView *AutoList() const { return m_pAutoList; }
    QTreeView *OtherList() const { return m_pOtherList; }
    CProfileModel &Model() { return m_Model; }
    const CProfileListProxy &AutoView() const { return m_AutoView; }
    const CProfileListProxy &OtherView() const { return m_OtherView; }
    // Selects the row of `name` in whichever list holds it and makes that
    // list active; false when no row names it.
    bool SelectProfile(const std::string &name);
    // The profile name of the selected row of the active list; empty when
    // none.
    std::string SelectedName() const;
    // Whether the row of `name` carries the connected mark.
    bool IsMarkedConnected(const std::string &name) const;

    // Test seams: the file dialog and the modal run of an edit sheet.
    void SetFileChooser(FileChooser chooser) { m_FileChooser = std::move(chooser); }
    void SetSheetRunner(SheetRunner runner) { m_SheetRunner = std::move(runner); }

    CQtControlParent &Controls() { return m_Controls; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void UpdateArrows();
    void SizeColumns(QTreeView *list);
    void ShowContextMenu(QTreeView *list, const QPoint &pos);
    const CProfileListProxy &ViewOf(const QTreeView *list) const;
    // An editor for the operations that runs the edit sheet modally.
    CProfileOps::Editor SheetEditor(const QString &caption);
    // Refills the lists after an operation and shows what it left to show.
    void ShowResult(const COpResult &result);
    void MovePriority(int step);
    void SetConnecting(bool connecting);
    void RegFileOp(int op);
    QString ChooseFile(bool save);
    int RunSheet(CEditProfile &sheet);
    std::string RowName(const QTreeView *list) const;

    CQtControlParent m_Controls;
    CProfileModel m_Model;
    CProfileListProxy m_AutoView;
    CProfileListProxy m_OtherView;
    QTreeView *m_pOtherList = nullptr;
    QTreeView *m_pAutoList = nullptr;
    QTreeView *m_pActiveList = nullptr;
    QIcon m_UpIcon;
    QIcon m_DownIcon;
    QToolButton *m_pUp = nullptr;
    QToolButton *m_pDown = nullptr;
    bool m_bInitialized = false;
    bool m_bFillPending = false;
    CBusyState m_Connecting;  // a connect runs on the device worker
    FileChooser m_FileChooser;
    SheetRunner m_SheetRunner;
};

} // namespace kestrow
