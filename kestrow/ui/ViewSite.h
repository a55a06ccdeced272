// CViewSite: the Available Networks dialog (dialog 148), modeless, created
// hidden by the main window and shown by its "&View Site" command; "C&lose"
// only hides it.  It lists the station list in one of two views (access
// points: one row per station, seven columns; networks: one row per network
// name, four columns), marks the connected station, sorts by any column,
// rescans, and runs the site survey's commands on the selected station:
// Connect, Save as profile, Edit connection.
//
// The dialog keeps station keys, never station pointers, between calls: the
// station list is rebuilt at every update.  Network names are bytes; they
// are shown as UTF-8 when they are valid UTF-8 and as Latin-1 otherwise, and
// each row carries its key as raw bytes, so no name can confuse the keys.
//
// Locking: the commands take the application's main lock (try-lock) and
// hold it for their whole length, the modal edit sheet included; when it is
// busy they do nothing.  RefreshHeld() is for callers that hold the lock
// (the main timer routine); Refresh() takes it itself.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QPixmap>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BusyState.h"
#include "QtControlParent.h"
#include "SurveyTable.h"

class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class QProgressBar;
class QPushButton;

namespace kestrow {

class CEditProfile;
class CStation;

class CViewSite : public QDialog {
    Q_OBJECT
public:
    enum : int {
        IDD = 148,
        IDC_VIEW = 3,
        IDC_CLOSE = 2,
        IDC_SAVE_PROFILE = 1057,
        IDC_RESCAN = 1058,
        IDC_EDIT_CONN = 1059,
        IDC_CONNECT = 1061,
        IDC_LIST = 1062,
        IDC_STATIC = 1142,
        IDC_PROGRESS = 1164,
        IDC_LEGEND_CONNECTED = 1176,
        IDR_SITE_MENU = 164,
        ID_SITE_CONNECT = 32783,
        ID_SITE_SAVE_PROFILE = 32784,
        ID_SITE_EDIT_CONNECTION = 32785,
        ID_SITE_RESCAN = 32786,
    };
    // Image indexes of the row icons.
    enum : int { IMG_CONNECTED = 0, IMG_EXCELLENT = 1, IMG_FAIR = 2, IMG_GOOD = 3, IMG_POOR = 4 };
    // Edit station modes.
    enum EditMode : int { EDIT_SAVE_PROFILE = 0, EDIT_CONNECTION = 1, EDIT_SECURITY = 2 };
    // Results of Edit station.
    enum : int { SHEET_OK = 1, SHEET_CANCEL = 2 };
    // The scan progress bar runs from 0 to this many seconds.
    static constexpr int kScanSeconds = 6;
    // Background of the connected row: red 133, green 210, blue 252.
    static const QColor kConnectedColour;

    // Runs a modal edit sheet; returns QDialog::Accepted or Rejected.
    using SheetRunner = std::function<int(CEditProfile &sheet)>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit CViewSite(QWidget *parent = nullptr);
    ~CViewSite() override;

    // Reads the view from "View AP or NET" and sets it up.
    void OnInitDialog();

    // Rebuilds the rows from the station list.  RefreshHeld: the caller holds
    // the main lock (the main timer routine, the commands).  Refresh: takes
    // the lock itself, and when it is busy refreshes as soon as it is free.
    void RefreshHeld();
    void Refresh();
    int RefreshCount() const { return m_nRefreshes; }
    // The rows of every station, built on a worker under the main lock.
    void ApplyStations(std::vector<CSurveyRow> apRows);

    // Handlers.
    void OnToggleView();
    void OnColumnClick(int column);
    void OnRescan();
    void OnConnect();
    void OnSaveProfile();
    void OnEditConnection();
    // A command id of the buttons or the context menu (1061, 1057, 1059,
    // 1058, 32783..32786); false when it is not one of them.
    bool OnCommand(int id);
    // The window that owns context menu 164: its items go to `owner`, which
    // hands them back to OnCommand.  Without an owner they come here directly.
    void SetMenuOwner(std::function<bool(int)> owner) { m_fnMenuOwner = std::move(owner); }

    // Context menu 164 for the selected row; null when the row has no
    // station any more.  The caller owns the menu.
    QMenu *CreateContextMenu();

    // Selects the row of `rowKey` (the station key, or the network name in
    // the network view) as a click would; false when no row has that key.
    bool SelectRow(const std::string &rowKey);
    // The row key of row `row`; empty when there is no such row.
    std::string RowKey(int row) const;
    // The station of the selected row, or null.  Valid only under the main
    // lock until the next station update.
    CStation *SelectedStation() const;

    bool IsNetView() const { return m_bNetView; }
    int SortColumn() const { return m_nSortColumn; }
    bool SortAscending() const { return m_bSortAscending; }
    const std::vector<std::string> &SortedKeys() const { return m_SortedKeys; }
    const std::string &ConnectedRowKey() const { return m_strConnectedRowKey; }
    QTreeWidget *List() const { return m_pList; }
    QProgressBar *Progress() const { return m_pProgress; }
    // The sheet of a running command, or null.
    CEditProfile *EditSheet() const { return m_pEditSheet; }

    // Test seams: the modal run of an edit sheet and the clock of the
    // rescan progress.
    void SetSheetRunner(SheetRunner runner) { m_SheetRunner = std::move(runner); }
    void SetClock(Clock clock) { m_Clock = std::move(clock); }

    // The row icon of image index 0..4: connected, excellent, fair, good, poor.
    static QIcon RowIcon(int index);
    // The legend picture of the same image: the icon on the dialog's grey.
    static QPixmap LegendPicture(int index, const QColor &background);
    // The image index of a station that is not the connected one.
    static int IconForLevel(int linkQuality);
    // A network name's bytes as shown: UTF-8 text when valid, else Latin-1.
    static QString NetNameText(const std::string &bytes);

    CQtControlParent &Controls() { return m_Controls; }

private:
    std::function<bool(int)> m_fnMenuOwner;
    void SetView(bool firstTime);
    void MakeColumns();
    void FillList();
    // The cell text (bytes) of column `column` for a station.
    CStation *FindRowStation(const std::string &rowKey) const;
    bool IsConnectedStation(const CStation &station) const;
    void UpdateButtons(const CStation *station);
    void OnCurrentRowChanged(QTreeWidgetItem *item);
    void ShowContextMenu(const QPoint &pos);

    // Under the main lock: a copy of the selected station, its WEP key asked
    // for when it needs one; null when there is nothing to join.
    std::unique_ptr<CStation> PrepareJoinHeld();
    void SetConnecting(bool connecting);
    int EditStationHeld(int mode);
    int RunSheet(CEditProfile &sheet);
    void UpdateMainWindow();
    std::chrono::steady_clock::time_point Now() const;

    CQtControlParent m_Controls;
    QProgressBar *m_pProgress = nullptr;
    QTreeWidget *m_pList = nullptr;
    std::string m_strConnectedRowKey;
    std::chrono::steady_clock::time_point m_ScanStart{};
    bool m_bNetView = false;
    std::string m_strSelectedKey;
    CEditProfile *m_pEditSheet = nullptr;
    std::vector<std::string> m_SortedKeys;
    int m_nSortColumn = 0;
    bool m_bSortAscending = true;

    QPushButton *m_pViewButton = nullptr;
    QPushButton *m_pConnectButton = nullptr;
    CBusyState m_Connecting;  // a join runs on the device worker
    QPushButton *m_pEditButton = nullptr;
    int m_nColumns = 0;
    int m_nRefreshes = 0;
    bool m_bFilling = false;
    bool m_bRefreshPending = false;
    SheetRunner m_SheetRunner;
    Clock m_Clock;
};

} // namespace kestrow
