#include "MainAbout.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "PageLayout.h"
#include "PageText.h"
#include "StringTable.h"

namespace kestrow {

CMainAbout::CMainAbout(QWidget *parent) : QWidget(parent), m_Controls(this)
{
    setObjectName(QStringLiteral("About"));
    auto *layout = new QVBoxLayout(this);
    m_pAdapterLine = AddAdapterStateLine(layout);

    QFormLayout *form = nullptr;
    QGroupBox *device = CPageLayout::Group(QStringLiteral("Device"), &form);
    CPageLayout::AddRow(form, QStringLiteral("Device Name:"), IDC_DEVICE_NAME,
                        QString::fromLatin1(CStatusSnapshot::kDeviceName));
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
    if (m_bInitialized) {
        return;
    }
    m_bInitialized = true;
    m_Controls.SetItemText(IDC_VERSION, QString::fromLatin1(CStatusSnapshot::kUtilityVersion));
}

void CMainAbout::OnSetActive()
{
    OnInitDialog();
}

void CMainAbout::ShowAdapter(AdapterState adapter)
{
    ShowAdapterState(m_pAdapterLine, adapter);
}

void CMainAbout::Show(const CStatusSnapshot &s, AdapterState adapter)
{
    OnInitDialog();
    ShowAdapter(adapter);
    const std::pair<int, const std::string *> texts[] = {
        {IDC_DRIVER_VERSION, &s.driverVersion}, {IDC_FIRMWARE_VERSION, &s.firmwareVersion},
        {IDC_NVM_VERSION, &s.nvmVersion},       {IDC_MAC, &s.macAddress},
        {IDC_REG_DOMAIN, &s.regDomain},
    };
    for (const auto &[id, text] : texts) {
        if (!text->empty()) {
            SetChangedText(m_Controls, id, QStr(*text));
        }
    }
}

} // namespace kestrow
