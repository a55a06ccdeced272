#include "MainStats.h"

#include "HistoryPlot.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "CoreTask.h"
#include "MessageSink.h"
#include "PageLayout.h"
#include "PageText.h"
#include "StatusReader.h"

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
    CPageLayout::AddCounterRow(form, QStringLiteral("Receiving"), IDC_RECEIVING, QStringLiteral("Static"));
    CPageLayout::AddCounterRow(form, QStringLiteral("Sending"), IDC_SENDING, QStringLiteral("Static"));
    layout->addWidget(activity);
    m_pPlot = new CHistoryPlot(this);
    layout->addWidget(m_pPlot);

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
    if (m_bHaveValues && m_Snapshot.connected) {
        ShowValues();
    }
}

void CMainStats::Show(const CStatusSnapshot &s)
{
    m_Snapshot = s;
    m_bHaveValues = true;
    ShowValues();
}

void CMainStats::ShowHistory(std::vector<CLinkSample> samples, bool dbm)
{
    m_pPlot->SetShowDbm(dbm);
    m_pPlot->SetSamples(std::move(samples));
}

void CMainStats::ShowValues()
{
    const CStatusSnapshot &s = m_Snapshot;
    SetChangedText(m_Controls, IDC_SIGNAL, QStr(s.signal));
    SetChangedText(m_Controls, IDC_MAX_RATE, QStr(s.phyRate));
    SetChangedText(m_Controls, IDC_SNR, QStr(s.snr));
    if (s.connected) {
        // Disconnected, the throughput texts keep their last values.
        SetChangedText(m_Controls, IDC_RECEIVING, QStringLiteral("%1 KB/sec").arg(s.rxKBps));
        SetChangedText(m_Controls, IDC_SENDING, QStringLiteral("%1 KB/sec").arg(s.txKBps));
    }
}

void CMainStats::OnReset()
{
    RunCoreTask<COpResult>(
        this, [] { return CStatusReader::ResetStatistics(); },
        [](COpResult result) {
            if (!result.Ok()) {
                ShowMessage(result.messageId, MB_OK);
            }
        });
}

} // namespace kestrow
