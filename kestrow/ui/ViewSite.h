// CViewSite: the Available Networks dialog (dialog 148), modeless, created
// hidden by the main window and shown by its "&View Site" command; "C&lose"
// only hides it.  It holds the station list view, its command buttons, the
// scan progress bar and the legend of the row icons.  Filling the list from
// the station list and its commands come with the site survey.
#pragma once

#include <QDialog>
#include <QIcon>

#include "QtControlParent.h"

class QTreeWidget;
class QProgressBar;
class QPushButton;

namespace kestrow {

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
    };

    explicit CViewSite(QWidget *parent = nullptr);

    // Sets the window title, the view button and the columns for the view
    // chosen by the "View AP or NET" preference.
    void OnInitDialog();
    // Rebuilds the list from the station list.  Called by the main timer
    // routine while the dialog is visible and after Preferences are applied.
    void Refresh();
    int RefreshCount() const { return m_nRefreshes; }

    // The row icon of image index 0..4: connected, excellent, fair, good, poor.
    static QIcon RowIcon(int index);

    CQtControlParent &Controls() { return m_Controls; }

private:
    void SetView();

    CQtControlParent m_Controls;
    QTreeWidget *m_pList = nullptr;
    QProgressBar *m_pProgress = nullptr;
    QPushButton *m_pViewButton = nullptr;
    bool m_bNetView = false;
    int m_nRefreshes = 0;
};

} // namespace kestrow
