#include "MainAbout.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "Conversions.h"
#include "PageLayout.h"
#include "StringTable.h"
#include "VarCodes.h"

namespace kestrow {

CMainAbout::CMainAbout(QWidget *parent) : QWidget(parent), m_Controls(this)
{
    setObjectName(QStringLiteral("About"));
    auto *layout = new QVBoxLayout(this);

    QFormLayout *form = nullptr;
    QGroupBox *device = CPageLayout::Group(QStringLiteral("Device"), &form);
    CPageLayout::AddRow(form, QStringLiteral("Device Name:"), IDC_DEVICE_NAME,
                        QString::fromLatin1(kDeviceName));
    CPageLayout::AddRow(form, QStringLiteral("Regulatory Domain:"), IDC_REG_DOMAIN);
    CPageLayout::AddRow(form, QStringLiteral("Driver Version :"), IDC_DRIVER_VERSION,
                        QStr(LoadString(IDS_NOT_CONNECTED)));
    CPageLayout::AddRow(form, QStringLiteral("Firmware Version :"), IDC_FIRMWARE_VERSION);
    CPageLayout::AddRow(form, QStringLiteral("NVM Version:"), IDC_NVM_VERSION);
    CPageLayout::AddRow(form, QStringLiteral("MAC Address:"), IDC_MAC);
    layout->addWidget(device);

    QGroupBox *utility = CPageLayout::Group(QStringLiteral("Configuration Utility"), &form);
    CPageLayout::AddRow(form, QStringLiteral("Version :"), IDC_VERSION);
    layout->addWidget(utility);
    layout->addStretch(1);

    // A button of the template that is never shown and does nothing.
    auto *report = CQtControlParent::Tag(new QPushButton(QStringLiteral("&Generate Report"), this),
                                         IDC_GENERATE_REPORT);
    report->hide();
}

CMainAbout::~CMainAbout() = default;

void CMainAbout::OnInitDialog()
{
    if (m_pVarList) {
        return;
    }
    m_pVarList = std::make_unique<CCommVarList>(&m_Controls);
    CCommVarList &t = *m_pVarList;
    t.AddControl(IDC_DRIVER_VERSION, VAR_VERSION.read, VAR_VERSION.write, ConvDriverVersion);
    t.AddControl(IDC_FIRMWARE_VERSION, VAR_VERSION.read, VAR_VERSION.write, ConvFirmwareVersion);
    t.AddControl(IDC_NVM_VERSION, VAR_VERSION.read, VAR_VERSION.write, ConvNvmVersion);
    t.AddControl(IDC_MAC, VAR_MAC.read, VAR_MAC.write, ConvMac);
    t.AddControl(IDC_REG_DOMAIN, VAR_REG_DOMAIN.read, VAR_REG_DOMAIN.write, ConvCountry);
    Refresh();
    m_Controls.SetItemText(IDC_VERSION, QString::fromLatin1(kVersion));
}

void CMainAbout::OnSetActive()
{
    if (!m_pVarList) {
        OnInitDialog();
    }
    Refresh();
}

void CMainAbout::Refresh()
{
    if (m_pVarList) {
        m_pVarList->Exec(false, true);
    }
}

} // namespace kestrow
