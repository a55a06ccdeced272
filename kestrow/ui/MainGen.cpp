#include "MainGen.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "PageLayout.h"
#include "PageText.h"
#include "StringTable.h"

namespace kestrow {

CMainGen::CMainGen(QWidget *parent) : QWidget(parent), m_Controls(this)
{
    setObjectName(QStringLiteral("General"));
    auto *layout = new QVBoxLayout(this);
    m_pAdapterLine = AddAdapterStateLine(layout);

    QFormLayout *form = nullptr;
    QGroupBox *connection = CPageLayout::Group(QStringLiteral("Connection"), &form);
    // The template's sample texts; they are replaced before the page shows.
    CPageLayout::AddRow(form, QStringLiteral("Connected to (SSID):"), IDC_SSID, QStringLiteral("Static"));
    CPageLayout::AddRow(form, QStringLiteral("Network Mode:"), IDC_NET_MODE, QStringLiteral("Static"));
    CPageLayout::AddRow(form, QStringLiteral("Channel / Frequency:"), IDC_CHANNEL, QStringLiteral("Static"));
    CPageLayout::AddRow(form, QStringLiteral("Max. Network Rate:"), IDC_MAX_RATE, QStringLiteral("Static"));
    CPageLayout::AddRow(form, QStringLiteral("Security:"), IDC_SECURITY, QStringLiteral("Static"));
    CPageLayout::AddRow(form, QStringLiteral("Active Profile:"), IDC_PROFILE, QStringLiteral("Static"));
    layout->addWidget(connection);

    QGroupBox *status = CPageLayout::Group(QStringLiteral("Link Status"), &form);
    CPageLayout::AddRow(form, QStringLiteral("Link Quality:"), IDC_LINK_QUALITY, QStringLiteral("Static"));
    CPageLayout::AddCounterRow(form, QStringLiteral("Received:"), IDC_RECEIVED, QStringLiteral("Static"));
    CPageLayout::AddCounterRow(form, QStringLiteral("Sent:"), IDC_SENT, QStringLiteral("Static"));
    CPageLayout::AddRow(form, QStringLiteral("Network Rate:"), IDC_NET_RATE, QStringLiteral("Static"));
    layout->addWidget(status);
    layout->addStretch(1);

    // A button of the template that nothing uses; it stays hidden.
    auto *fnf2 = CQtControlParent::Tag(new QPushButton(QStringLiteral("FnF2"), this), IDC_FNF2);
    fnf2->hide();
}

CMainGen::~CMainGen() = default;

void CMainGen::OnInitDialog()
{
    if (m_bInitialized) {
        return;
    }
    m_bInitialized = true;
    // Until the first refresh the page shows nothing of what it reads.
    SetNotConnected();
}

void CMainGen::OnSetActive()
{
    OnInitDialog();
    if (m_bHaveValues) {
        ShowValues();
    }
}

void CMainGen::SetNotConnected()
{
    SetChangedText(m_Controls, IDC_SSID, QStr(LoadString(IDS_NOT_CONNECTED)));
    for (int id : {IDC_NET_MODE, IDC_CHANNEL, IDC_MAX_RATE, IDC_SECURITY, IDC_PROFILE, IDC_RECEIVED,
                   IDC_SENT, IDC_LINK_QUALITY, IDC_NET_RATE}) {
        SetChangedText(m_Controls, id, QString());
    }
}

void CMainGen::ShowAdapter(AdapterState adapter)
{
    ShowAdapterState(m_pAdapterLine, adapter);
}

void CMainGen::Show(const CStatusSnapshot &s, AdapterState adapter)
{
    OnInitDialog();
    m_Snapshot = s;
    m_bHaveValues = true;
    ShowAdapter(adapter);
    ShowValues();
}

void CMainGen::ShowValues()
{
    const CStatusSnapshot &s = m_Snapshot;
    if (!s.connected) {
        SetNotConnected();
        return;
    }
    const std::pair<int, const std::string *> texts[] = {
        {IDC_SSID, &s.ssid},         {IDC_NET_MODE, &s.netMode},   {IDC_CHANNEL, &s.channelFreq},
        {IDC_MAX_RATE, &s.maxRate},  {IDC_SECURITY, &s.security}, {IDC_PROFILE, &s.activeProfile},
        {IDC_RECEIVED, &s.received}, {IDC_SENT, &s.sent},         {IDC_LINK_QUALITY, &s.linkQuality},
        {IDC_NET_RATE, &s.netRate},
    };
    for (const auto &[id, text] : texts) {
        SetChangedText(m_Controls, id, QStr(*text));
    }
}

} // namespace kestrow
