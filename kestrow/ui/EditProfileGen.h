// CEditProfileGen: the General page of the profile edit sheet (dialog 141):
// profile name, network name (SSID), auto-selection membership, power save,
// network mode, PHY and channel.  It edits the record its target names, in
// place, when the sheet's OK or Apply runs; a rename updates the target.
//
// The channel list holds the channels of the adapter's regulatory domain;
// each entry carries its channel number, so the record's PhyChnl (channel
// minus 1 for 802.11b/g) is turned into an entry and back by channel number,
// never by the entry's position in the list.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

#include "EditTarget.h"
#include "QtControlParent.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

namespace kestrow {

class CProfile;

class CEditProfileGen : public QWidget {
    Q_OBJECT
public:
    enum : int {
        IDD = 141,
        IDC_CHANNEL_LIST = 105,
        IDC_INFRASTRUCTURE = 1040,
        IDC_ADHOC = 1041,
        IDC_NAME = 1042,
        IDC_SSID = 1043,
        IDC_PHY_A = 1044,
        IDC_PHY_BG = 1045,
        IDC_PHY_G = 1046,
        IDC_AUTO_SELECT = 1048,
        IDC_PS_AUTO = 1049,
        IDC_PS_SLIDER = 1050,
        IDC_DEFAULT_PROFILE = 1051,
        IDC_ADVANCED = 1076,
        IDC_PS_MAX_PERF = 1084,
        IDC_PS_MAX_SAVE = 1085,
        IDC_CHANNEL_GROUP = 1090,
        IDC_PHY_LABEL = 1091,
        IDC_CHANNEL_LABEL = 1092,
        IDC_DEFAULTS = 1118,
        IDC_NAME_LABEL = 1170,
        IDC_SSID_LABEL = 1172,
        IDC_NETMODE_LABEL = 1174,
    };
    static constexpr int kMaxNameLength = 20;   // characters
    static constexpr int kMaxSsidLength = 32;   // bytes, as the air carries it

    // Builds the page and takes name, SSID, auto-selection and automatic
    // power save from the record of the edit-profile name.
    explicit CEditProfileGen(CEditTarget &target, QWidget *parent = nullptr);
    ~CEditProfileGen() override;

    // Start-up: loads power save, PHY, network mode and channel from the
    // record and applies the edit-connection restrictions.
    void OnInitDialog();
    // The sheet's OK or Apply.  False (a message shown, the sheet stays
    // open) when the name or the SSID is not acceptable.
    bool OnApply();

    // Control handlers.
    void OnAuto();
    void OnInfrastructure();
    void OnAdHoc();
    void OnPhy(int phyType);
    void OnDefaults();
    void OnAdvanced();

    // Empties the channel list, fills it for PHY 0 (802.11a), 1 or 2
    // (802.11b/g) and selects the first entry.
    void FillChannels(int phyType);
    // Selects the entry of the record's channel-list index; an index the
    // list does not hold selects the first entry.
    void SelectChannelIndex(int phyChnl);
    // Channel number of the selected entry; 0 when nothing is selected.
    int SelectedChannel() const;

    // First channel and the one after the last of a regulatory domain code
    // (a failed read is given as `known` false).
    static void DomainChannels(bool known, std::uint32_t code, int *first, int *afterLast);
    // Reads the adapter's regulatory domain code; false when it cannot.
    static bool ReadRegDomain(std::uint32_t *code);

    CQtControlParent &Controls() { return m_Controls; }

signals:
    void Modified();

private:
    CProfile *Record() const;
    void LoadControls(const CProfile &record);
    void ApplyEditConnection();
    void EnableChannelControls(bool enable);
    void EnablePowerSave(bool enable);
    void SelectPhyRadio(int phyType);
    int SelectedPhy() const;

    CEditTarget &m_Target;
    CQtControlParent m_Controls;
    QLineEdit *m_pName = nullptr;
    QLineEdit *m_pSsid = nullptr;
    QCheckBox *m_pDefaultProfile = nullptr;
    QCheckBox *m_pAutoSelect = nullptr;
    QCheckBox *m_pPsAuto = nullptr;
    QSlider *m_pPsSlider = nullptr;
    QLabel *m_pPsMaxPerf = nullptr;
    QLabel *m_pPsMaxSave = nullptr;
    QRadioButton *m_pInfra = nullptr;
    QRadioButton *m_pAdHoc = nullptr;
    QRadioButton *m_pPhy[3] = {};
    QComboBox *m_pChannels = nullptr;
    QGroupBox *m_pChannelGroup = nullptr;
    int m_nListPhy = 1;  // PHY the channel list was filled for
};

} // namespace kestrow
