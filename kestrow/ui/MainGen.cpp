#include "MainGen.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "Conversions.h"
#include "KestrowApp.h"
#include "PageLayout.h"
#include "ProfileMngr.h"
#include "Station.h"
#include "StationMngr.h"
#include "StringTable.h"
#include "VarCodes.h"

namespace kestrow {

CMainGen::CMainGen(QWidget *parent) : QWidget(parent), m_Controls(this)
{
    setObjectName(QStringLiteral("General"));
    auto *layout = new QVBoxLayout(this);

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
    CPageLayout::AddRow(form, QStringLiteral("Received:"), IDC_RECEIVED, QStringLiteral("Static"));
    CPageLayout::AddRow(form, QStringLiteral("Sent:"), IDC_SENT, QStringLiteral("Static"));
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
    if (m_pVarList) {
        return;
    }
    m_pVarList = std::make_unique<CCommVarList>(&m_Controls);
    CCommVarList &t = *m_pVarList;
    t.AddControl(IDC_SSID, VAR_SSID.read, VAR_SSID.write, ConvSsid);
    t.AddControl(IDC_NET_MODE, VAR_NET_MODE.read, VAR_NET_MODE.write, ConvNetMode);
    const OID_PAIR channel[] = {VAR_CHANNEL, VAR_PHY};
    t.AddControlMulti(IDC_CHANNEL, channel, 2, ConvChannelFreq);
    t.AddControl(IDC_MAX_RATE, VAR_PHY.read, VAR_PHY.write, ConvPhyRate);
    t.AddControl(IDC_SECURITY, VAR_SECURITY.read, VAR_SECURITY.write, ConvSecurity);
    t.AddControl(IDC_RECEIVED, VAR_STATISTICS.read, VAR_STATISTICS.write, ConvRecvCount);
    t.AddControl(IDC_SENT, VAR_STATISTICS.read, VAR_STATISTICS.write, ConvSentCount);
    t.AddControl(IDC_NET_RATE, VAR_NET_RATE.read, VAR_NET_RATE.write, ConvNetRate);
    // Until the first refresh the page shows nothing of what the bindings read.
    SetNotConnected();
}

void CMainGen::OnSetActive()
{
    OnInitDialog();
    Refresh();
}

void CMainGen::SetNotConnected()
{
    m_Controls.SetItemText(IDC_SSID, QStr(LoadString(IDS_NOT_CONNECTED)));
    for (int id : {IDC_NET_MODE, IDC_CHANNEL, IDC_MAX_RATE, IDC_SECURITY, IDC_PROFILE, IDC_RECEIVED,
                   IDC_SENT, IDC_LINK_QUALITY, IDC_NET_RATE}) {
        m_Controls.SetItemText(id, QString());
    }
}

void CMainGen::Refresh()
{
    OnInitDialog();
    CKestrowApp &app = theApp();
    CStationMngr *stations = app.StationMngr();
    if (stations == nullptr || !stations->IsConnected()) {
        SetNotConnected();
        return;
    }
    if (const CStation *station = stations->GetConnectedStation()) {
        std::string quality;
        FormatSignal(station->LinkQuality, &quality);
        m_Controls.SetItemText(IDC_LINK_QUALITY, QStr(quality));
        m_Controls.SetItemText(IDC_NET_RATE, station->PhyType == 1 ? QStringLiteral("11 Mbps")
                                                                   : QStringLiteral("54 Mbps"));
    }
    const CProfile *current = app.ProfileMngr() != nullptr ? app.ProfileMngr()->GetCurrent() : nullptr;
    m_Controls.SetItemText(IDC_PROFILE, current != nullptr ? QStr(current->ProfName) : QString());
    // A variable that cannot be read leaves its control as it was.
    m_pVarList->Exec(false, true);
}

} // namespace kestrow
