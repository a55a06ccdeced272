// CMainAbout: the About page of the main window (dialog 183): the adapter's
// identity read from the device (regulatory domain, driver, firmware and NVM
// versions, MAC address), its fixed name and this program's version.
#pragma once

#include <QWidget>

#include <memory>

#include "CommVarList.h"
#include "QtControlParent.h"
#include "StatusSnapshot.h"

namespace kestrow {

class CMainAbout : public QWidget {
    Q_OBJECT
public:
    enum : int {
        IDD = 183,
        IDC_GENERATE_REPORT = 1140,
        IDC_DEVICE_NAME = 1144,
        IDC_REG_DOMAIN = 1145,
        IDC_DRIVER_VERSION = 1146,
        IDC_FIRMWARE_VERSION = 1147,
        IDC_MAC = 1148,
        IDC_NVM_VERSION = 1149,
        IDC_VERSION = 1150,
    };

    explicit CMainAbout(QWidget *parent = nullptr);
    ~CMainAbout() override;

    // Binds the five device fields (each reads at once), refreshes and shows
    // the program's version.  Runs once.
    void OnInitDialog();
    void OnSetActive();
    // Reads every field again; a field whose read fails keeps its text.
    void Refresh();

    CQtControlParent &Controls() { return m_Controls; }

private:
    CQtControlParent m_Controls;
    bool m_bInitialized = false;
    CStatusSnapshot m_Snapshot;
};

} // namespace kestrow
