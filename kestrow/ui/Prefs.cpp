#include "Prefs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
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

#include <optional>
#include <string>
#include <vector>

#include "Autostart.h"
#include "CoreTask.h"
#include "KestrowApp.h"
#include "MessageSink.h"
#include "ViewSite.h"

namespace kestrow {

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
    for (const char *band : CPreferences::Def(Pref::ScanBand).choices) {
        m_pScanBand->addItem(QString::fromLatin1(band));
    }
    scanLayout->addWidget(m_pActive, 0, 0);
    scanLayout->addWidget(m_pPassive, 0, 1);
    scanLayout->addWidget(new QLabel(QStringLiteral("Scan Bands:")), 1, 0);
    scanLayout->addWidget(m_pScanBand, 1, 1);
    scanning->setEnabled(false);
    layout->addWidget(scanning);

    auto *power = new QGroupBox(QStringLiteral("Auto Power Save configuration"));
    auto *powerLayout = new QGridLayout(power);
    m_pPowerSave = CQtControlParent::Tag(new QComboBox, IDC_POWER_SAVE);
    for (const char *level : CPreferences::Def(Pref::PowerSave).choices) {
        m_pPowerSave->addItem(QString::fromLatin1(level));
    }
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
    for (const CCountry &c : CPreferences::Countries()) {
        m_pCountry->addItem(QString::fromLatin1(c.name));
    }
    m_pCountry->setEnabled(false);
    general->addWidget(m_pCountry, 2, 1, 1, 2);
    general->setColumnStretch(3, 1);
    layout->addLayout(general);

    // Beyond the original dialog: notifications, start with the desktop,
    // and which adapter to open when there are several.
    auto *desktop = new QGridLayout;
    m_pNotify = CQtControlParent::Tag(new QCheckBox(QStringLiteral("Show notifications")), IDC_NOTIFY);
    m_pAutostart = CQtControlParent::Tag(new QCheckBox(QStringLiteral("Start with the desktop")), IDC_AUTOSTART);
    desktop->addWidget(m_pNotify, 0, 0, 1, 2);
    desktop->addWidget(m_pAutostart, 1, 0, 1, 2);
    m_pAdapter = CQtControlParent::Tag(new QComboBox, IDC_ADAPTER);
    m_pAdapter->addItem(QStringLiteral("Search automatically"), QString());
    // Shown once the adapter list (read on the device worker) has two or
    // more: with one adapter there is nothing to choose.
    m_pAdapterLabel = new QLabel(QStringLiteral("Adapter:"));
    desktop->addWidget(m_pAdapterLabel, 2, 0);
    desktop->addWidget(m_pAdapter, 2, 1);
    m_pAdapterLabel->hide();
    m_pAdapter->hide();
    desktop->setColumnStretch(1, 1);
    layout->addLayout(desktop);

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
    PutValues(CPreferences::Read(theApp()));
    m_pAutostart->setChecked(CAutostart::Enabled());
    // The stored choice first; the installed adapters join it from the
    // device worker (the library's list waits for its lock).  A stored
    // adapter that is not installed now is still shown.
    const QString chosen = QString::fromStdString(CPreferences::ReadAdapter(theApp()));
    if (!chosen.isEmpty()) {
        m_pAdapter->addItem(chosen, chosen);
        m_pAdapter->setCurrentIndex(1);
    }
    RunCoreTask<std::vector<std::string>>(
        this, [] { return CPreferences::InstalledAdapters(); },
        [this, chosen](std::vector<std::string> names) {
            for (const std::string &name : names) {
                const QString text = QString::fromStdString(name);
                if (m_pAdapter->findData(text) < 0) {
                    m_pAdapter->addItem(text, text);
                }
            }
            const bool choice = names.size() > 1 || !chosen.isEmpty();
            if (choice && m_pAdapter->isHidden()) {
                m_pAdapterLabel->show();
                m_pAdapter->show();
                adjustSize();  // room for the new row
            }
        });
    // The country, from the adapter's regulatory domain (read on the device
    // worker, shown when it comes); the first one when the adapter cannot be
    // read.  The field cannot be changed, so nothing waits for it.
    m_pCountry->setCurrentIndex(0);
    RunCoreTask<std::optional<int>>(
        this, [] { return CPreferences::ReadCountry(); },
        [this](std::optional<int> country) { m_pCountry->setCurrentIndex(country.value_or(0)); });
}

void CPrefs::PutValues(const CPrefValues &values)
{
    m_pInterval->setText(QString::number(values.intervalSecs));
    (values.dbm ? m_pDbm : m_pPercent)->setChecked(true);
    SetScanMode(values.active);
    // An index of -1 shows no selection.
    m_pPowerSave->setCurrentIndex(values.powerSave);
    m_pScanBand->setCurrentIndex(values.scanBand);
    m_pNotify->setChecked(values.notify);
}

void CPrefs::Defaults()
{
    PutValues(CPreferences::Defaults());
}

bool CPrefs::Apply()
{
    CPrefValues values;
    const COpResult parsed = CPreferences::ParseInterval(m_pInterval->text().toStdString(), &values.intervalSecs);
    if (!parsed.Ok()) {
        ShowMessageText(parsed.Describe(), MB_OK | MB_ICONWARNING);
        m_pInterval->setFocus();
        m_pInterval->selectAll();
        return false;
    }
    values.active = m_bActiveScan;
    values.powerSave = m_pPowerSave->currentIndex();
    values.scanBand = m_pScanBand->currentIndex();
    values.dbm = m_pDbm->isChecked();
    values.notify = m_pNotify->isChecked();
    COpResult applied = CPreferences::Apply(theApp(), values);
    const std::string adapter = m_pAdapter->currentData().toString().toStdString();
    if (applied.Ok() && adapter != CPreferences::ReadAdapter(theApp())) {
        // Used from the next opening of the adapter (the next start).
        applied = CPreferences::WriteAdapter(theApp(), adapter);
    }
    if (applied.Ok() && m_pAutostart->isChecked() != CAutostart::Enabled()) {
        applied = CAutostart::SetEnabled(m_pAutostart->isChecked(),
                                         QCoreApplication::applicationFilePath().toStdString());
    }
    if (!applied.Ok()) {
        ShowMessageText(applied.Describe(), MB_OK | MB_ICONERROR);
        return false;
    }
    emit Applied(values);
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
