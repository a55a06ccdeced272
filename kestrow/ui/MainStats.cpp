#include "MainStats.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "Conversions.h"
#include "KestrowApp.h"
#include "StatusReader.h"
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
    CStatusSnapshot &s = m_Snapshot;
    if (!theApp().StatusReader().ReadStatistics(s)) {
        return;
    }
    m_Controls.SetItemText(IDC_SIGNAL, QStr(s.signal));
    m_Controls.SetItemText(IDC_MAX_RATE, QStr(s.phyRate));
    m_Controls.SetItemText(IDC_SNR, QStr(s.snr));
    if (s.connected) {
        // Disconnected, the throughput texts keep their last values.
        m_Controls.SetItemText(IDC_RECEIVING, QStringLiteral("%1 KB/sec").arg(s.rxKBps));
        m_Controls.SetItemText(IDC_SENDING, QStringLiteral("%1 KB/sec").arg(s.txKBps));
    }
}

void CMainStats::OnReset()
{
    const COpResult result = CStatusReader::ResetStatistics();
    if (!result.Ok()) {
        ShowMessage(result.messageId, MB_OK);
    }
}

} // namespace kestrow
