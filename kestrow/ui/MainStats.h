// CMainStats: the Statistics page of the main window (dialog 184): signal
// strength, signal-to-noise ratio and maximum rate of the connection, and the
// receive and send throughput that the polling thread measures.
#pragma once

#include <QWidget>

#include "QtControlParent.h"
#include "StatusSnapshot.h"

class QPushButton;

namespace kestrow {

class CMainStats : public QWidget {
    Q_OBJECT
public:
    enum : int {
        IDD = 184,
        IDC_RESET = 1166,
        IDC_SIGNAL = 1167,
        IDC_SNR = 1168,
        IDC_MAX_RATE = 1169,
        IDC_RECEIVING = 1171,
        IDC_SENDING = 1173,
    };

    explicit CMainStats(QWidget *parent = nullptr);

    void OnInitDialog() { m_bInitialised = true; }
    // Page activation: refreshes when set up and connected.
    void OnSetActive();
    void Refresh();
    // "&Reset": asks the device to clear its statistics; message 115 when
    // the request fails.
    void OnReset();

    CQtControlParent &Controls() { return m_Controls; }

private:
    CQtControlParent m_Controls;
    bool m_bInitialised = false;
    CStatusSnapshot m_Snapshot;
};

} // namespace kestrow
