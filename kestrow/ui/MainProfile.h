// CMainProfile: the Profiles page of the main window.  Its lists and
// commands come with profile editing; until then the page is empty.
#pragma once

#include <QWidget>

namespace kestrow {

class CMainProfile : public QWidget {
    Q_OBJECT
public:
    explicit CMainProfile(QWidget *parent = nullptr);

    void OnSetActive() {}
    // Refreshes the page's lists from the profile store.
    void Refresh() {}
};

} // namespace kestrow
