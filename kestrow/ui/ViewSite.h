// CViewSite: the Available Networks dialog (dialog 148), modeless, created
// hidden by the main window and shown by its "&View Site" command; "C&lose"
// only hides it.  It shows the station model in one of two views (access
// points: one row per station, seven columns; networks: one row per network
// name, four columns), marks the connected station, sorts by any column,
// rescans, and runs the site survey's commands on the selected station:
// Connect, Save as profile, Edit connection.
//
// Threads: the dialog never reads the station list.  Rows are built on the
// device worker under the main lock (by the main window's refresh, or by the
// dialog's own Refresh) and handed over through ApplyStations on this
// thread; the commands run as CSiteCommands says.
#pragma once

#include <QDialog>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ApViewProxy.h"
#include "NetViewProxy.h"
#include "QtControlParent.h"
#include "SiteCommands.h"
#include "StationModel.h"
#include "SurveyTable.h"

class QLabel;
class QMenu;
class QModelIndex;
class QTreeView;
class QProgressBar;
class QPushButton;

namespace kestrow {

class CEditProfile;

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
    // The scan progress bar runs from 0 to this many seconds.
    static constexpr int kScanSeconds = 6;

    using SheetRunner = CSiteCommands::SheetRunner;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit CViewSite(QWidget *parent = nullptr);
    ~CViewSite() override;

    // Reads the view from "View AP or NET" and sets it up.
    void OnInitDialog();

    // The stations as CSurveyTable::Rows gives them for the access-point
    // view in ascending order of column 0; the views keep their own order
    // and selection.
    void ApplyStations(std::vector<CSurveyRow> apRows);
    // Builds the rows on the device worker and applies them here.
    void Refresh();
    int RefreshCount() const { return m_nRefreshes; }

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

    // Context menu 164 for the selected row; null without one.  The caller
    // owns the menu.
    QMenu *CreateContextMenu();

    // Selects the row of `rowKey` (the station key, or the network name in
    // the network view) as a click would; false when no row has that key.
    bool SelectRow(const std::string &rowKey);
    // The key of the selected row, and of the station that stands for it;
    // empty without a selection.
    std::string SelectedRowKey() const;
    std::string SelectedStationKey() const;

    bool IsNetView() const { return m_bNetView; }
    int SortColumn() const { return m_nSortColumn; }
    bool SortAscending() const { return m_bSortAscending; }
    CStationModel &Model() { return m_Model; }
    // The proxy of the current view.
    CApViewProxy &View() { return m_bNetView ? m_NetView : m_ApView; }
    const CApViewProxy &View() const { return m_bNetView ? m_NetView : m_ApView; }
    QTreeView *List() const { return m_pList; }
    QProgressBar *Progress() const { return m_pProgress; }
    QLabel *AdapterLabel() const { return m_pAdapter; }
    bool Busy() const { return m_Commands.Busy(); }

    // Test seams: the modal run of an edit sheet and the clock of the
    // rescan progress.
    void SetSheetRunner(SheetRunner runner) { m_Commands.SetSheetRunner(std::move(runner)); }
    void SetNamePrompt(CSiteCommands::NamePrompt prompt) { m_Commands.SetNamePrompt(std::move(prompt)); }
    void SetClock(Clock clock) { m_Clock = std::move(clock); }

    CQtControlParent &Controls() { return m_Controls; }

signals:
    // ApplyStations has shown a new set of rows.
    void StationsApplied();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void SetView();
    void MakeColumns();
    // The model row of the selected view row; -1 without one.
    int SelectedModelRow() const;
    void KeepSelection();
    void UpdateButtons();
    void UpdateAdapterLabel();
    void UpdateProgress();
    void OnCurrentRowChanged(const QModelIndex &current);
    void ShowContextMenu(const QPoint &pos);
    std::chrono::steady_clock::time_point Now() const;

    CQtControlParent m_Controls;
    CStationModel m_Model;
    CApViewProxy m_ApView;
    CNetViewProxy m_NetView;
    QTreeView *m_pList = nullptr;
    QProgressBar *m_pProgress = nullptr;
    QLabel *m_pAdapter = nullptr;
    QPushButton *m_pViewButton = nullptr;
    QPushButton *m_pConnectButton = nullptr;
    QPushButton *m_pSaveButton = nullptr;
    QPushButton *m_pEditButton = nullptr;
    std::function<bool(int)> m_fnMenuOwner;
    std::chrono::steady_clock::time_point m_ScanStart{};
    bool m_bNetView = false;
    int m_nSortColumn = 0;
    bool m_bSortAscending = true;
    // The row the user picked, by key: found again when its row went and
    // came back.
    std::string m_strSelectedKey;
    CSiteCommands m_Commands;
    bool m_bApplying = false;
    bool m_bRowsPending = false;
    bool m_bRowsAgain = false;
    bool m_bScanUpdate = false;
    int m_nRefreshes = 0;
    Clock m_Clock;

    // Builds the rows on the worker (after taking the latest scan results
    // into the station list when `updateFromScan`) and applies them.
    void RequestRows(bool updateFromScan);
};

} // namespace kestrow
