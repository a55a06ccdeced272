// CMainAbout: the About page of the main window (dialog 183): the adapter's
// identity read from the device (regulatory domain, driver, firmware and NVM
// versions, MAC address), its fixed name and this program's version.
#pragma once

#include <QWidget>

#include "AdapterState.h"
#include "QtControlParent.h"
#include "StatusSnapshot.h"

class QLabel;

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

    // Shows the program's version.  Runs once.
    void OnInitDialog();
    // Page activation: set-up when needed.  The window asks for fresh
    // values; nothing here reads the device.
    void OnSetActive();
    // Shows the values of a refresh; a field that was never read keeps its
    // text.
    void Show(const CStatusSnapshot &s, AdapterState adapter);
    // The line about the adapter beside the values.
    void ShowAdapter(AdapterState adapter);

    CQtControlParent &Controls() { return m_Controls; }
    QLabel *AdapterLine() const { return m_pAdapterLine; }

private:
    CQtControlParent m_Controls;
    QLabel *m_pAdapterLine = nullptr;
    bool m_bInitialized = false;
};

} // namespace kestrow
