// CEditProfileAdvGen: the page "General" of the advanced profile sheet
// (dialog 176): maximum network rate, maximum transmit power, short
// preamble, RTS threshold, and the fragmentation threshold and wireless mode
// (kept hidden).  It edits the record its target names in place.
//
// The RTS threshold runs from 0 to 2312 on the slider, in the edit and in
// the OK check alike, as the label under the slider and message 117 say.
#pragma once

#include <QWidget>

#include "EditTarget.h"
#include "QtControlParent.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace kestrow {

class CProfile;

class CEditProfileAdvGen : public QWidget {
    Q_OBJECT
public:
    enum : int {
        IDD = 176,
        IDC_FRAG_SIZE = 1122,
        IDC_RTS_THRESHOLD = 1123,
        IDC_USE_RTS = 1124,
        IDC_SHORT_PREAMBLE = 1125,
        IDC_WIRELESS_MODE = 1126,
        IDC_MAX_RATE = 1127,
        IDC_TX_POWER = 1128,
        IDC_FRAG_SLIDER = 1129,
        IDC_USE_FRAG = 1130,
        IDC_RTS_SLIDER = 1131,
        IDC_RTS_MIN_LABEL = 1132,
        IDC_RTS_MAX_LABEL = 1133,
        IDC_FRAG_MIN_LABEL = 1134,
        IDC_FRAG_MAX_LABEL = 1135,
        IDC_TX_POWER_LABEL = 1174,
        IDC_WIRELESS_MODE_LABEL = 1175,
    };
    static constexpr int kRtsMin = 0;
    static constexpr int kFragMin = 256;
    static constexpr int kMaxFrameSize = 2312;
    // MaxNetRate holds the rate in Mbit/s times this.
    static constexpr int kRateUnit = 500000;

    explicit CEditProfileAdvGen(const CEditTarget &target, QWidget *parent = nullptr);
    ~CEditProfileAdvGen() override;

    // Start-up: loads every control from the record.
    void OnInitDialog();
    // The sheet's OK or Apply; false (message 116 or 117) when an enabled
    // threshold is out of range.
    bool OnApply();

    // Control handlers.
    void OnUseRts();
    void OnUseFragmentation();
    void OnWirelessMode();
    void OnRtsSlider();
    void OnFragSlider();
    void OnRtsEdit();
    void OnFragEdit();

    // Rebuilds the rate list for wireless mode `mode` (0 a/b/g, 1 a, 2 b/g,
    // 3 b) and selects the first entry.
    void FillRates(int mode);
    // Selects the entry of a stored MaxNetRate; the first entry when none
    // matches.
    void SelectRate(int maxNetRate);
    // MaxNetRate of the selected entry (0 when the list is empty).
    int SelectedRate() const;

    QComboBox *Rates() const { return m_pRates; }
    QComboBox *WirelessMode() const { return m_pMode; }
    QSlider *RtsSlider() const { return m_pRtsSlider; }
    QLineEdit *RtsEdit() const { return m_pRtsEdit; }
    QCheckBox *UseRts() const { return m_pUseRts; }
    QSlider *FragSlider() const { return m_pFragSlider; }
    QLineEdit *FragEdit() const { return m_pFragEdit; }
    QCheckBox *UseFragmentation() const { return m_pUseFrag; }
    CQtControlParent &Controls() { return m_Controls; }

signals:
    void Modified();

private:
    CProfile *Record() const;
    void EnableRts(bool enable);
    void EnableFragmentation(bool enable);

    const CEditTarget &m_Target;
    CQtControlParent m_Controls;
    QSlider *m_pRtsSlider = nullptr;
    QSlider *m_pFragSlider = nullptr;
    QComboBox *m_pRates = nullptr;
    QCheckBox *m_pShortPreamble = nullptr;
    QCheckBox *m_pUseFrag = nullptr;
    QCheckBox *m_pUseRts = nullptr;
    QComboBox *m_pMode = nullptr;
    QLineEdit *m_pFragEdit = nullptr;
    QComboBox *m_pTxPower = nullptr;
    QLineEdit *m_pRtsEdit = nullptr;
    bool m_bSyncing = false;  // a slider and its edit are being put in step
};

} // namespace kestrow
