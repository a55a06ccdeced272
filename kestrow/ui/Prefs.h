// CPrefs: the modal "Preferences" dialog (dialog 189).  It edits the
// program-wide preferences under the application key: the statistics update
// interval, the display units of signal values, and (shown but disabled) the
// scanning mode, scan bands and battery power save; it shows the adapter's
// country from its regulatory domain.  Beyond those: whether link changes
// are told as desktop notifications, whether Kestrow starts with the
// desktop, and (with two adapters or more) which adapter it opens.
#pragma once

#include <QDialog>

#include "Preferences.h"
#include "QtControlParent.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace kestrow {

class CViewSite;

class CPrefs : public QDialog {
    Q_OBJECT
public:
    enum : int {
        IDD = 189,
        IDC_APPLY = 1154,
        IDC_DEFAULTS = 1155,
        IDC_PASSIVE = 1156,
        IDC_ACTIVE = 1157,
        IDC_INTERVAL = 1158,
        IDC_DBM = 1159,
        IDC_PERCENT = 1160,
        IDC_POWER_SAVE = 1161,
        IDC_SCAN_BAND = 1162,
        IDC_COUNTRY = 1179,
        // Beyond the original dialog.
        IDC_NOTIFY = 1300,
        IDC_AUTOSTART = 1301,
        IDC_ADAPTER = 1302,
    };
    // `site`: the Available Networks dialog to refresh after Apply (may be null).
    explicit CPrefs(QWidget *parent = nullptr, CViewSite *site = nullptr);

    // Stores the values of the controls and hands the new interval to the
    // polling thread (CPreferences::Apply), then refreshes the site survey.
    // False (nothing stored) when the interval is not a whole number from 5
    // to 100, or when the registry refuses the values.
    bool Apply();
    // Puts the default values into the controls (not stored).
    void Defaults();

    CQtControlParent &Controls() { return m_Controls; }

    void accept() override;  // "OK": Apply, and close when it succeeded

signals:
    // The values were stored.
    void Applied(const kestrow::CPrefValues &values);

private:
    void Load();
    void PutValues(const CPrefValues &values);
    void SetScanMode(bool active);

    CQtControlParent m_Controls;
    CViewSite *m_pSite;
    QLineEdit *m_pInterval = nullptr;
    QRadioButton *m_pActive = nullptr;
    QRadioButton *m_pPassive = nullptr;
    QRadioButton *m_pDbm = nullptr;
    QRadioButton *m_pPercent = nullptr;
    QComboBox *m_pScanBand = nullptr;
    QComboBox *m_pPowerSave = nullptr;
    QComboBox *m_pCountry = nullptr;
    QCheckBox *m_pNotify = nullptr;
    QCheckBox *m_pAutostart = nullptr;
    QComboBox *m_pAdapter = nullptr;  // shown with two adapters or more
    QLabel *m_pAdapterLabel = nullptr;
    bool m_bActiveScan = false;
};

} // namespace kestrow
