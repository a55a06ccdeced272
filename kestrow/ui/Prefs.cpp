#include "Prefs.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "CommVarList.h"
#include "Conversions.h"
#include "KestrowApp.h"
#include "MessageSink.h"
#include "Poll.h"
#include "QtMessageSink.h"
#include "VarCodes.h"
#include "ViewSite.h"

namespace kestrow {

namespace {
constexpr const char *kPollingInterval = "Polling Interval";
constexpr const char *kActive = "Active";
constexpr const char *kPowerSave = "Power-Save";
constexpr const char *kScanBand = "Scan-Band";
constexpr const char *kDbmPercent = "dBm-Percent";
} // namespace

int CPrefs::CountryIndex(int code)
{
    for (std::size_t i = 0; i < kCountries.size(); ++i) {
        if (kCountries[i].code == code) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

CPrefs::CPrefs(QWidget *parent, CViewSite *site) : QDialog(parent), m_Controls(this), m_pSite(site)
{
    setWindowTitle(QStringLiteral("Preferences"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);

    // Scanning: shown, but the device takes no scanning preference.
    auto *scanning = new QGroupBox(QStringLiteral("Scanning Mode"));
    auto *scanLayout = new QGridLayout(scanning);
    m_pActive = CQtControlParent::Tag(new QRadioButton(QStringLiteral("Active")), IDC_ACTIVE);
    m_pPassive = CQtControlParent::Tag(new QRadioButton(QStringLiteral("Passive")), IDC_PASSIVE);
    auto *scanGroup = new QButtonGroup(this);
    scanGroup->addButton(m_pActive);
    scanGroup->addButton(m_pPassive);
    connect(m_pActive, &QRadioButton::clicked, this, [this] { SetScanMode(true); });
    connect(m_pPassive, &QRadioButton::clicked, this, [this] { SetScanMode(false); });
    m_pScanBand = CQtControlParent::Tag(new QComboBox, IDC_SCAN_BAND);
    m_pScanBand->addItems({QStringLiteral("(802.11) a/b/g"), QStringLiteral("(802.11) a"),
                           QStringLiteral("(802.11) b/g"), QStringLiteral("(802.11) b")});
    scanLayout->addWidget(m_pActive, 0, 0);
    scanLayout->addWidget(m_pPassive, 0, 1);
    scanLayout->addWidget(new QLabel(QStringLiteral("Scan Bands:")), 1, 0);
    scanLayout->addWidget(m_pScanBand, 1, 1);
    scanning->setEnabled(false);
    layout->addWidget(scanning);

    auto *power = new QGroupBox(QStringLiteral("Auto Power Save configuration"));
    auto *powerLayout = new QGridLayout(power);
    m_pPowerSave = CQtControlParent::Tag(new QComboBox, IDC_POWER_SAVE);
    m_pPowerSave->addItems({QStringLiteral("Max. Performance"), QStringLiteral("Good Performance"),
                            QStringLiteral("Max. Power Save")});
    powerLayout->addWidget(new QLabel(QStringLiteral("Battery operating Power Save:")), 0, 0);
    powerLayout->addWidget(m_pPowerSave, 0, 1);
    auto *note = new QLabel(QStringLiteral(
        "When operating from the power outlet, Power Save is always set  to: Maximum Performance."));
    note->setWordWrap(true);
    powerLayout->addWidget(note, 1, 0, 1, 2);
    power->setEnabled(false);
    layout->addWidget(power);

    auto *general = new QGridLayout;
    general->addWidget(new QLabel(QStringLiteral("Statistics Update Interval:")), 0, 0);
    m_pInterval = CQtControlParent::Tag(new QLineEdit, IDC_INTERVAL);
    m_pInterval->setMaxLength(3);
    m_pInterval->setMaximumWidth(60);
    general->addWidget(m_pInterval, 0, 1);
    general->addWidget(new QLabel(QStringLiteral("secs")), 0, 2);
    general->addWidget(new QLabel(QStringLiteral("Signal units:")), 1, 0);
    m_pDbm = CQtControlParent::Tag(new QRadioButton(QStringLiteral("dBm")), IDC_DBM);
    m_pPercent = CQtControlParent::Tag(new QRadioButton(QStringLiteral("Percent (%)")), IDC_PERCENT);
    auto *unitGroup = new QButtonGroup(this);
    unitGroup->addButton(m_pDbm);
    unitGroup->addButton(m_pPercent);
    general->addWidget(m_pDbm, 1, 1);
    general->addWidget(m_pPercent, 1, 2);
    general->addWidget(new QLabel(QStringLiteral("Country Code:")), 2, 0);
    m_pCountry = CQtControlParent::Tag(new QComboBox, IDC_COUNTRY);
    for (const Country &c : kCountries) {
        m_pCountry->addItem(QString::fromLatin1(c.name));
    }
    m_pCountry->setEnabled(false);
    general->addWidget(m_pCountry, 2, 1, 1, 2);
    general->setColumnStretch(3, 1);
    layout->addLayout(general);

    auto *buttons = new QDialogButtonBox;
    auto *ok = CQtControlParent::Tag(buttons->addButton(QDialogButtonBox::Ok), 1);
    ok->setText(QStringLiteral("OK"));
    auto *cancel = CQtControlParent::Tag(buttons->addButton(QDialogButtonBox::Cancel), 2);
    cancel->setText(QStringLiteral("Cancel"));
    auto *apply = CQtControlParent::Tag(buttons->addButton(QStringLiteral("&Apply"), QDialogButtonBox::ApplyRole),
                                        IDC_APPLY);
    auto *defaults = CQtControlParent::Tag(
        buttons->addButton(QStringLiteral("&Defaults"), QDialogButtonBox::ResetRole), IDC_DEFAULTS);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPrefs::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPrefs::reject);
    connect(apply, &QPushButton::clicked, this, [this] { Apply(); });
    connect(defaults, &QPushButton::clicked, this, &CPrefs::Defaults);
    layout->addWidget(buttons);

    Load();
}

void CPrefs::SetScanMode(bool active)
{
    m_bActiveScan = active;
    m_pActive->setChecked(active);
    m_pPassive->setChecked(!active);
}

void CPrefs::Load()
{
    CKestrowApp &app = theApp();
    const int interval = app.GetProfileInt("", kPollingInterval, kDefaultIntervalMs);
    const bool active = app.GetProfileInt("", kActive, 0) != 0;
    const int powerSave = app.GetProfileInt("", kPowerSave, 0);
    const int scanBand = app.GetProfileInt("", kScanBand, 0);
    const bool dbm = app.GetProfileInt("", kDbmPercent, 0) != 0;

    // The country, from the adapter's regulatory domain.
    std::string domain;
    int country = 0;
    {
        CCommVarList batch;
        batch.Add(VAR_REG_DOMAIN, ConvNumber, &domain);
        if (batch.Exec(false, false)) {
            country = CountryIndex(ParseDecimal(domain));
        }
    }

    m_pInterval->setText(QString::number(static_cast<unsigned>(interval) / 1000u));
    (dbm ? m_pDbm : m_pPercent)->setChecked(true);
    SetScanMode(active);
    // A stored index outside a list shows no selection, as a combo box does.
    m_pPowerSave->setCurrentIndex(powerSave >= 0 && powerSave < m_pPowerSave->count() ? powerSave : -1);
    m_pScanBand->setCurrentIndex(scanBand >= 0 && scanBand < m_pScanBand->count() ? scanBand : -1);
    m_pCountry->setCurrentIndex(country);
}

void CPrefs::Defaults()
{
    m_pInterval->setText(QString::number(kDefaultIntervalMs / 1000));
    m_pPowerSave->setCurrentIndex(0);
    m_pScanBand->setCurrentIndex(0);
    m_pPercent->setChecked(true);
    SetScanMode(true);
}

bool CPrefs::Apply()
{
    bool number = false;
    const int seconds = m_pInterval->text().trimmed().toInt(&number);
    if (!number || seconds < kMinInterval || seconds > kMaxInterval) {
        ShowMessageText(QStringLiteral("Please enter an integer between %1 and %2.")
                            .arg(kMinInterval)
                            .arg(kMaxInterval),
                        MB_OK | MB_ICONWARNING);
        m_pInterval->setFocus();
        m_pInterval->selectAll();
        return false;
    }
    CKestrowApp &app = theApp();
    const bool stored = app.WriteProfileInt("", kPollingInterval, seconds * 1000) &&
                        app.WriteProfileInt("", kActive, m_bActiveScan ? 1 : 0) &&
                        app.WriteProfileInt("", kPowerSave, std::max(0, m_pPowerSave->currentIndex())) &&
                        app.WriteProfileInt("", kScanBand, std::max(0, m_pScanBand->currentIndex())) &&
                        app.WriteProfileInt("", kDbmPercent, m_pDbm->isChecked() ? 1 : 0);
    if (!stored) {
        ShowMessageText(QStringLiteral("The preferences could not be stored in the registry."),
                        MB_OK | MB_ICONERROR);
        return false;
    }
    if (app.Poll() != nullptr) {
        app.Poll()->SetInterval(seconds);
    }
    if (m_pSite != nullptr) {
        m_pSite->Refresh();
    }
    return true;
}

void CPrefs::accept()
{
    if (Apply()) {
        QDialog::accept();
    }
}

} // namespace kestrow
