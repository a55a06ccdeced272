// CMainStats: the Statistics page of the main window (dialog 184): signal
// strength, signal-to-noise ratio and maximum rate of the connection, and the
// receive and send throughput that the polling thread measures, with a plot
// of the last ten minutes of signal and throughput under them.
#pragma once

#include <QWidget>

#include <vector>

#include "LinkHistory.h"
#include "QtControlParent.h"
#include "StatusSnapshot.h"

class QPushButton;

namespace kestrow {
class CHistoryPlot;
}

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
    // Page activation: shows the values last shown when they were of a
    // connection.  The window asks for fresh ones; nothing here reads the
    // device.
    void OnSetActive();
    // Shows the values of a refresh (the Statistics page's part of `s`).
    void Show(const CStatusSnapshot &s);
    // The last ten minutes under the values, the signal in dBm or percent.
    void ShowHistory(std::vector<CLinkSample> samples, bool dbm);
    CHistoryPlot *Plot() const { return m_pPlot; }
    // "&Reset": asks the device, on the device worker, to clear its
    // statistics; message 115 when the request fails.
    void OnReset();

    CQtControlParent &Controls() { return m_Controls; }

private:
    void ShowValues();

    CQtControlParent m_Controls;
    CHistoryPlot *m_pPlot = nullptr;
    bool m_bInitialised = false;
    bool m_bHaveValues = false;
    CStatusSnapshot m_Snapshot;  // the values last shown
};

} // namespace kestrow
