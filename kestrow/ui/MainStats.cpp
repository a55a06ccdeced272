#include "MainStats.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "CommVarList.h"
#include "Conversions.h"
#include "KestrowApp.h"
#include "MessageSink.h"
#include "PageLayout.h"
#include "Station.h"
#include "StationMngr.h"
#include "StringTable.h"
#include "VarCodes.h"

namespace kestrow {

CMainStats::CMainStats(QWidget *parent) : QWidget(parent), m_Controls(this)
{
    setObjectName(QStringLiteral("CurrentStatistics"));
    auto *layout = new QVBoxLayout(this);

    QFormLayout *form = nullptr;
    QGroupBox *signal = CPageLayout::Group(QStringLiteral("Signal"), &form);
    CPageLayout::AddRow(form, QStringLiteral("Signal Strength: "), IDC_SIGNAL, QStringLiteral("Static"));
    CPageLayout::AddRow(form, QStringLiteral("SNR:"), IDC_SNR, QStringLiteral("Static"));
    CPageLayout::AddRow(form, QStringLiteral("Max. Network Rate:"), IDC_MAX_RATE, QStringLiteral("Static"));
    layout->addWidget(signal);

    QGroupBox *activity = CPageLayout::Group(QStringLiteral("Activity"), &form);
    CPageLayout::AddRow(form, QStringLiteral("Receiving"), IDC_RECEIVING, QStringLiteral("Static"));
    CPageLayout::AddRow(form, QStringLiteral("Sending"), IDC_SENDING, QStringLiteral("Static"));
    layout->addWidget(activity);

    auto *row = new QHBoxLayout;
    auto *reset = CQtControlParent::Tag(new QPushButton(QStringLiteral("&Reset")), IDC_RESET);
    connect(reset, &QPushButton::clicked, this, &CMainStats::OnReset);
    row->addStretch(1);
    row->addWidget(reset);
    layout->addLayout(row);
    layout->addStretch(1);
}

void CMainStats::OnSetActive()
{
    OnInitDialog();
    CStationMngr *stations = theApp().StationMngr();
    if (m_bInitialised && stations != nullptr && stations->IsConnected()) {
        Refresh();
    }
}

void CMainStats::Refresh()
{
    CKestrowApp &app = theApp();
    CStationMngr *stations = app.StationMngr();
    if (stations == nullptr || !stations->IsConnected()) {
        // The throughput texts keep their last values.
        m_Controls.SetItemText(IDC_SIGNAL, QStringLiteral("N/A"));
        m_Controls.SetItemText(IDC_MAX_RATE, QString());
        m_Controls.SetItemText(IDC_SNR, QString());
        return;
    }
    const CStation *station = stations->GetConnectedStation();
    if (station == nullptr) {
        return;
    }
    std::string snr;
    {
        CCommVarList batch;
        batch.Add(VAR_SNR, ConvNumber, &snr);
        if (!batch.Exec(false, false)) {
            snr.clear();
        }
    }
    std::string quality;
    FormatSignal(station->LinkQuality, &quality);
    m_Controls.SetItemText(IDC_SIGNAL, QStr(quality));
    m_Controls.SetItemText(IDC_MAX_RATE, station->PhyType == 1 ? QStringLiteral("11 Mbps")
                                                               : QStringLiteral("54 Mbps"));
    m_Controls.SetItemText(IDC_SNR, QStr(snr));
    m_Controls.SetItemText(IDC_RECEIVING, QStringLiteral("%1 KB/sec").arg(app.RxKBps()));
    m_Controls.SetItemText(IDC_SENDING, QStringLiteral("%1 KB/sec").arg(app.TxKBps()));
}

void CMainStats::OnReset()
{
    // Reading this variable makes the device clear its statistics.
    CCommVarList batch(&m_Controls);
    batch.Add(VAR_RESET_STATS, nullptr, nullptr);
    if (!batch.Exec(false, true)) {
        ShowMessage(IDS_DRIVER_ERROR, MB_OK);
    }
}

} // namespace kestrow
