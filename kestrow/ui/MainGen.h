// CMainGen: the General page of the main window (dialog 143).  It shows the
// current connection: network name, mode, channel and frequency, rates,
// security, active profile, link quality and the traffic counters, or "Not
// Connected" and blank fields when the adapter is not connected.
#pragma once

#include <QWidget>

#include "AdapterState.h"
#include "QtControlParent.h"
#include "StatusSnapshot.h"

class QLabel;

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

    // Shows the not-connected state.  Runs once; later calls do nothing.
    void OnInitDialog();
    // Page activation: set-up when needed, then the values last shown.
    // The window asks for fresh ones; nothing here reads the device.
    void OnSetActive();
    // Shows the values of a refresh (the General page's part of `s`).
    void Show(const CStatusSnapshot &s, AdapterState adapter);
    // The line about the adapter beside the values.
    void ShowAdapter(AdapterState adapter);
    // "Not Connected" and the nine other fields empty.
    void SetNotConnected();

    CQtControlParent &Controls() { return m_Controls; }
    QLabel *AdapterLine() const { return m_pAdapterLine; }

private:
    void ShowValues();

    CQtControlParent m_Controls;
    QLabel *m_pAdapterLine = nullptr;
    bool m_bInitialized = false;
    bool m_bHaveValues = false;
    CStatusSnapshot m_Snapshot;  // the values last shown
};

} // namespace kestrow
