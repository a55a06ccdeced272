#include "EditProfileGen.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

#include "CommVarList.h"
#include "EditProfileAdv.h"
#include "KestrowApp.h"
#include "MessageSink.h"
#include "ProfileMngr.h"
#include "Station.h"
#include "StringTable.h"
#include "VarCodes.h"

namespace kestrow {

namespace {
constexpr int kPsMin = 1;
constexpr int kPsMax = 3;
constexpr int kPhyA = 0;
constexpr int kPhyB = 1;
constexpr int kPhyG = 2;
constexpr int kChannelsA = 12;  // 36, 40, ..., 64, 149, ..., 161
} // namespace

CEditProfileGen::CEditProfileGen(CEditTarget &target, QWidget *parent)
    : QWidget(parent), m_Target(target), m_Controls(this)
{
    setObjectName(QStringLiteral("General"));
    setWindowTitle(QStringLiteral("General"));
    auto *layout = new QVBoxLayout(this);

    auto *names = new QGridLayout;
    names->addWidget(CQtControlParent::Tag(new QLabel(QStringLiteral("Name:")), IDC_NAME_LABEL), 0, 0);
    m_pName = CQtControlParent::Tag(new QLineEdit, IDC_NAME);
    names->addWidget(m_pName, 0, 1);
    names->addWidget(CQtControlParent::Tag(new QLabel(QStringLiteral("Network Name (SSID):")), IDC_SSID_LABEL),
                     1, 0);
    m_pSsid = CQtControlParent::Tag(new QLineEdit, IDC_SSID);
    names->addWidget(m_pSsid, 1, 1);
    m_pDefaultProfile = CQtControlParent::Tag(new QCheckBox(QStringLiteral("&Default Profile")),
                                              IDC_DEFAULT_PROFILE);
    m_pDefaultProfile->hide();
    names->addWidget(m_pDefaultProfile, 2, 0);
    m_pAutoSelect = CQtControlParent::Tag(new QCheckBox(QStringLiteral("&Auto-Select Profile member")),
                                          IDC_AUTO_SELECT);
    names->addWidget(m_pAutoSelect, 2, 1);
    layout->addLayout(names);

    // Power save: "Auto" is shown but cannot be changed by the user.
    auto *power = new QGroupBox(QStringLiteral("Power Save"));
    auto *powerLayout = new QGridLayout(power);
    m_pPsAuto = CQtControlParent::Tag(new QCheckBox(QStringLiteral("A&uto")), IDC_PS_AUTO);
    m_pPsAuto->setEnabled(false);
    m_pPsSlider = CQtControlParent::Tag(new QSlider(Qt::Horizontal), IDC_PS_SLIDER);
    m_pPsSlider->setRange(kPsMin, kPsMax);
    m_pPsSlider->setPageStep(1);
    m_pPsSlider->setTickPosition(QSlider::TicksBelow);
    m_pPsSlider->setTickInterval(1);
    m_pPsMaxPerf = CQtControlParent::Tag(new QLabel(QStringLiteral("Max Performance")), IDC_PS_MAX_PERF);
    m_pPsMaxSave = CQtControlParent::Tag(new QLabel(QStringLiteral("Max. Power Save")), IDC_PS_MAX_SAVE);
    powerLayout->addWidget(m_pPsAuto, 0, 0, 2, 1);
    powerLayout->addWidget(m_pPsSlider, 0, 1, 1, 2);
    powerLayout->addWidget(m_pPsMaxPerf, 1, 1, Qt::AlignLeft);
    powerLayout->addWidget(m_pPsMaxSave, 1, 2, Qt::AlignRight);
    layout->addWidget(power);

    auto *modeRow = new QHBoxLayout;
    modeRow->addWidget(CQtControlParent::Tag(new QLabel(QStringLiteral("Network Mode:")), IDC_NETMODE_LABEL));
    m_pInfra = CQtControlParent::Tag(new QRadioButton(QStringLiteral("&Infrastructure")), IDC_INFRASTRUCTURE);
    m_pAdHoc = CQtControlParent::Tag(new QRadioButton(QStringLiteral("Ad &Hoc")), IDC_ADHOC);
    auto *modeGroup = new QButtonGroup(this);
    modeGroup->addButton(m_pInfra);
    modeGroup->addButton(m_pAdHoc);
    modeRow->addWidget(m_pInfra);
    modeRow->addWidget(m_pAdHoc);
    modeRow->addStretch(1);
    layout->addLayout(modeRow);

    m_pChannelGroup = CQtControlParent::Tag(new QGroupBox(QStringLiteral("Channel / Frequency")),
                                            IDC_CHANNEL_GROUP);
    auto *channelLayout = new QGridLayout(m_pChannelGroup);
    channelLayout->addWidget(CQtControlParent::Tag(new QLabel(QStringLiteral("Phy Mode:")), IDC_PHY_LABEL), 0, 0);
    m_pPhy[kPhyA] = CQtControlParent::Tag(new QRadioButton(QStringLiteral("802.11a (54Mbps)")), IDC_PHY_A);
    m_pPhy[kPhyB] = CQtControlParent::Tag(new QRadioButton(QStringLiteral("802.11 b/g")), IDC_PHY_BG);
    m_pPhy[kPhyG] = CQtControlParent::Tag(new QRadioButton(QStringLiteral("802.11g")), IDC_PHY_G);
    auto *phyGroup = new QButtonGroup(this);
    for (int phy = kPhyA; phy <= kPhyG; ++phy) {
        phyGroup->addButton(m_pPhy[phy]);
        channelLayout->addWidget(m_pPhy[phy], 0, 1 + phy);
    }
    // The adapter's 802.11a radio and the separate 802.11g choice are not
    // offered: b/g covers both 2.4 GHz modes.
    m_pPhy[kPhyA]->hide();
    m_pPhy[kPhyG]->hide();
    channelLayout->addWidget(CQtControlParent::Tag(new QLabel(QStringLiteral("Channel:")), IDC_CHANNEL_LABEL),
                             1, 0);
    m_pChannels = CQtControlParent::Tag(new QComboBox, IDC_CHANNEL_LIST);
    m_pChannels->setFont(m_pPhy[kPhyA]->font());
    channelLayout->addWidget(m_pChannels, 1, 1, 1, 3);
    layout->addWidget(m_pChannelGroup);

    auto *buttons = new QHBoxLayout;
    auto *defaults = CQtControlParent::Tag(new QPushButton(QStringLiteral("&Defaults")), IDC_DEFAULTS);
    auto *advanced = CQtControlParent::Tag(new QPushButton(QStringLiteral("&Advanced")), IDC_ADVANCED);
    buttons->addWidget(defaults);
    buttons->addStretch(1);
    buttons->addWidget(advanced);
    layout->addLayout(buttons);
    layout->addStretch(1);

    connect(m_pPsAuto, &QCheckBox::clicked, this, &CEditProfileGen::OnAuto);
    connect(m_pInfra, &QRadioButton::clicked, this, &CEditProfileGen::OnInfrastructure);
    connect(m_pAdHoc, &QRadioButton::clicked, this, &CEditProfileGen::OnAdHoc);
    for (int phy = kPhyA; phy <= kPhyG; ++phy) {
        connect(m_pPhy[phy], &QRadioButton::clicked, this, [this, phy] { OnPhy(phy); });
    }
    connect(defaults, &QPushButton::clicked, this, &CEditProfileGen::OnDefaults);
    connect(advanced, &QPushButton::clicked, this, &CEditProfileGen::OnAdvanced);
    connect(m_pName, &QLineEdit::textEdited, this, &CEditProfileGen::Modified);
    connect(m_pSsid, &QLineEdit::textEdited, this, &CEditProfileGen::Modified);
    connect(m_pAutoSelect, &QCheckBox::clicked, this, &CEditProfileGen::Modified);
    connect(m_pPsSlider, &QSlider::sliderReleased, this, &CEditProfileGen::Modified);
    connect(m_pPsSlider, &QSlider::actionTriggered, this, &CEditProfileGen::Modified);
    connect(m_pChannels, &QComboBox::activated, this, &CEditProfileGen::Modified);

    if (const CProfile *record = Record()) {
        m_pName->setText(QStr(record->ProfName));
        m_pSsid->setText(QStr(record->NetName));
        m_pAutoSelect->setChecked(record->AutoSelect);
        m_pPsAuto->setChecked(record->PSType == 0);
    }
}

CEditProfileGen::~CEditProfileGen() = default;

CProfile *CEditProfileGen::Record() const
{
    CProfileMngr *store = theApp().ProfileMngr();
    return store != nullptr ? store->Get(m_Target.profileName) : nullptr;
}

void CEditProfileGen::OnInitDialog()
{
    if (const CProfile *record = Record()) {
        LoadControls(*record);
    } else {
        FillChannels(kPhyB);
        EnableChannelControls(false);
    }
    if (m_Target.editConnection) {
        ApplyEditConnection();
    }
}

void CEditProfileGen::LoadControls(const CProfile &record)
{
    m_pPsSlider->setValue(std::clamp(record.PSType, kPsMin, kPsMax));
    m_pPsAuto->setChecked(record.PSType == 0);
    EnablePowerSave(record.PSType != 0);

    SelectPhyRadio(record.PhyType);
    FillChannels(record.PhyType == kPhyA ? kPhyA : kPhyB);
    if (record.NetMode) {
        m_pInfra->setChecked(true);
        EnableChannelControls(false);
    } else {
        m_pAdHoc->setChecked(true);
        SelectPhyRadio(kPhyB);
        FillChannels(kPhyB);
        EnableChannelControls(true);
    }
    // A station (the site survey's edit-station record) holds the channel
    // number itself rather than a list index.
    const bool station = dynamic_cast<const CStation *>(&record) != nullptr;
    SelectChannelIndex(station ? CProfile::ChannelIndex(m_nListPhy, record.PhyChnl) : record.PhyChnl);
}

void CEditProfileGen::ApplyEditConnection()
{
    m_pInfra->setChecked(true);
    EnableChannelControls(false);
    for (int id : {IDC_NAME, IDC_SSID, IDC_NAME_LABEL, IDC_SSID_LABEL, IDC_NETMODE_LABEL, IDC_DEFAULT_PROFILE,
                   IDC_AUTO_SELECT, IDC_INFRASTRUCTURE, IDC_ADHOC}) {
        if (QWidget *w = m_Controls.Control(id)) {
            w->setEnabled(false);
        }
    }
}

void CEditProfileGen::EnableChannelControls(bool enable)
{
    m_pChannelGroup->setEnabled(enable);
    for (int id : {IDC_PHY_LABEL, IDC_CHANNEL_LABEL, IDC_CHANNEL_LIST, IDC_PHY_A, IDC_PHY_BG, IDC_PHY_G}) {
        if (QWidget *w = m_Controls.Control(id)) {
            w->setEnabled(enable);
        }
    }
}

void CEditProfileGen::EnablePowerSave(bool enable)
{
    m_pPsSlider->setEnabled(enable);
    m_pPsMaxPerf->setEnabled(enable);
    m_pPsMaxSave->setEnabled(enable);
}

void CEditProfileGen::SelectPhyRadio(int phyType)
{
    for (int phy = kPhyA; phy <= kPhyG; ++phy) {
        if (phy == phyType) {
            m_pPhy[phy]->setChecked(true);
        }
    }
}

int CEditProfileGen::SelectedPhy() const
{
    for (int phy = kPhyA; phy <= kPhyG; ++phy) {
        if (m_pPhy[phy]->isChecked()) {
            return phy;
        }
    }
    return -1;
}

void CEditProfileGen::OnAuto()
{
    EnablePowerSave(!m_pPsAuto->isChecked());
    emit Modified();
}

void CEditProfileGen::OnInfrastructure()
{
    m_pInfra->setChecked(true);
    EnableChannelControls(false);
    emit Modified();
}

void CEditProfileGen::OnAdHoc()
{
    m_pAdHoc->setChecked(true);
    SelectPhyRadio(kPhyB);
    FillChannels(kPhyB);
    EnableChannelControls(true);
    emit Modified();
}

void CEditProfileGen::OnPhy(int phyType)
{
    SelectPhyRadio(phyType);
    m_pAdHoc->setChecked(true);
    FillChannels(phyType);
    emit Modified();
}

void CEditProfileGen::OnDefaults()
{
    if (const CProfile *record = Record()) {
        LoadControls(*record);
    }
    if (m_Target.editConnection) {
        ApplyEditConnection();
    }
    emit Modified();
}

void CEditProfileGen::OnAdvanced()
{
    CEditProfileAdv sheet(QStr(LoadString(IDS_ADVANCED_PROFILE_EDIT)), m_Target, this);
    sheet.exec();
}

void CEditProfileGen::DomainChannels(bool known, std::uint32_t code, int *first, int *afterLast)
{
    *first = 1;
    *afterLast = 15;
    if (!known) {
        return;
    }
    switch (code) {
    case 0x10:
    case 0x20: *afterLast = 12; break;
    case 0x30: *afterLast = 14; break;
    case 0x31: *first = 10; *afterLast = 12; break;
    case 0x32: *first = 10; *afterLast = 14; break;
    default: break;
    }
}

bool CEditProfileGen::ReadRegDomain(std::uint32_t *code)
{
    CCommVarList batch;
    CCommVar *var = batch.Add(VAR_REG_DOMAIN, nullptr, nullptr);
    if (var == nullptr || !batch.Exec(false, false)) {
        return false;
    }
    *code = var->m_Records[0].u32(0);
    return true;
}

void CEditProfileGen::FillChannels(int phyType)
{
    m_pChannels->clear();
    if (phyType == kPhyA) {
        // The 802.11a channel set of a profile: 36, 40, ..., 64, 149, ..., 161.
        m_nListPhy = kPhyA;
        for (int index = 0; index < kChannelsA; ++index) {
            const int channel = CProfile::ChannelNumber(kPhyA, index);
            m_pChannels->addItem(QString::asprintf("%d / %#1.3f GHz", channel, 5.0 + 0.005 * channel), channel);
        }
    } else {
        m_nListPhy = kPhyB;
        std::uint32_t code = 0;
        const bool known = ReadRegDomain(&code);
        int first = 0;
        int afterLast = 0;
        DomainChannels(known, code, &first, &afterLast);
        for (int channel = first; channel < afterLast; ++channel) {
            m_pChannels->addItem(
                QString::asprintf("%d / %#1.3f GHz", channel, 2.412 + 0.005 * (channel - 1)), channel);
        }
    }
    m_pChannels->setCurrentIndex(m_pChannels->count() > 0 ? 0 : -1);
}

void CEditProfileGen::SelectChannelIndex(int phyChnl)
{
    const int channel = CProfile::ChannelNumber(m_nListPhy, phyChnl);
    const int entry = m_pChannels->findData(channel);
    m_pChannels->setCurrentIndex(entry >= 0 ? entry : (m_pChannels->count() > 0 ? 0 : -1));
}

int CEditProfileGen::SelectedChannel() const
{
    const int entry = m_pChannels->currentIndex();
    return entry >= 0 ? m_pChannels->itemData(entry).toInt() : 0;
}

bool CEditProfileGen::OnApply()
{
    CProfile *record = Record();
    if (record == nullptr) {
        return true;
    }
    if (m_Target.editConnection) {
        record->PSType = m_pPsAuto->isChecked() ? 0 : m_pPsSlider->value();
        return true;
    }

    CProfileMngr *store = theApp().ProfileMngr();
    const QString name = m_pName->text();
    const auto nameLength = name.toUcs4().size();
    const std::string newName = StdStr(name);
    // A name another profile carries, or one of the names the store keeps
    // for the connected and the edited station, would hide a record.
    const bool taken = newName != record->ProfName &&
                       (newName == kConnectedStationName || newName == kEditStationName ||
                        store->Get(newName) != nullptr);
    if (nameLength < 1 || nameLength > kMaxNameLength || taken) {
        ShowMessage(IDS_INVALID_PROFILE_NAME);
        m_pName->setFocus();
        return false;
    }
    if (newName != record->ProfName) {
        store->Rename(record->ProfName, newName);
        m_Target.profileName = newName;
        record = Record();
        if (record == nullptr) {
            return true;
        }
    }

    const QByteArray ssid = m_pSsid->text().toUtf8();
    if (ssid.isEmpty() || ssid.size() > kMaxSsidLength) {
        ShowMessage(IDS_INVALID_SSID);
        m_pSsid->setFocus();
        return false;
    }

    record->NetName = ssid.toStdString();
    record->PSType = m_pPsAuto->isChecked() ? 0 : m_pPsSlider->value();
    record->AutoSelect = m_pAutoSelect->isChecked();
    if (const int channel = SelectedChannel(); channel > 0) {
        const bool station = dynamic_cast<const CStation *>(record) != nullptr;
        record->PhyChnl = station ? channel : CProfile::ChannelIndex(m_nListPhy, channel);
    }
    if (const int phy = SelectedPhy(); phy >= 0) {
        record->PhyType = phy;
    }
    record->NetMode = m_pInfra->isChecked();
    return true;
}

} // namespace kestrow
