// CMainGen: the General page of the main window (dialog 143).  It shows the
// current connection: network name, mode, channel and frequency, rates,
// security, active profile, link quality and the traffic counters, or "Not
// Connected" and blank fields when the adapter is not connected.
#pragma once

#include <QWidget>

#include <memory>

#include "StatusSnapshot.h"

#include "CommVarList.h"
#include "QtControlParent.h"

namespace kestrow {

class CMainGen : public QWidget {
    Q_OBJECT
public:
    enum : int {
        IDD = 143,
        IDC_SSID = 1063,
        IDC_NET_MODE = 1064,
        IDC_CHANNEL = 1065,
        IDC_MAX_RATE = 1066,
        IDC_SECURITY = 1067,
        IDC_PROFILE = 1069,
        IDC_RECEIVED = 1070,
        IDC_SENT = 1071,
        IDC_NET_RATE = 1072,
        IDC_LINK_QUALITY = 1074,
        IDC_FNF2 = 1047,
    };

    explicit CMainGen(QWidget *parent = nullptr);
    ~CMainGen() override;

    // Binds the controls to their variables (each reads at once) and shows
    // the not-connected state.  Runs once; later calls do nothing.
    void OnInitDialog();
    // Page activation: set-up when needed, then Refresh.
    void OnSetActive();
    // Reads the connection state and every bound variable into the controls.
    void Refresh();
    // "Not Connected" and the nine other fields empty.
    void SetNotConnected();

    CQtControlParent &Controls() { return m_Controls; }

private:
    CQtControlParent m_Controls;
    bool m_bInitialized = false;
    CStatusSnapshot m_Snapshot;
};

} // namespace kestrow
