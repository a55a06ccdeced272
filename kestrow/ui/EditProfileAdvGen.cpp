#include "EditProfileAdvGen.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QVBoxLayout>

#include "KestrowApp.h"
#include "MessageSink.h"
#include "ProfileMngr.h"
#include "StringTable.h"

namespace kestrow {

namespace {
constexpr int kModeA = 1;
constexpr int kModeB = 3;
constexpr int kTickEvery = 50;

QLineEdit *NumberEdit(int id)
{
    auto *edit = CQtControlParent::Tag(new QLineEdit, id);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), edit));
    edit->setMaximumWidth(80);
    return edit;
}

QSlider *ThresholdSlider(int id, int minimum)
{
    auto *slider = CQtControlParent::Tag(new QSlider(Qt::Horizontal), id);
    slider->setRange(minimum, CEditProfileAdvGen::kMaxFrameSize);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(kTickEvery);
    slider->setPageStep(kTickEvery);
    return slider;
}

// The number of a threshold edit; false when it holds none.
bool EditNumber(const QLineEdit *edit, int *value)
{
    bool ok = false;
    const int v = edit->text().trimmed().toInt(&ok);
    if (ok) {
        *value = v;
    }
    return ok;
}
} // namespace

CEditProfileAdvGen::CEditProfileAdvGen(const CEditTarget &target, QWidget *parent)
    : QWidget(parent), m_Target(target), m_Controls(this)
{
    setObjectName(QStringLiteral("General"));
    setWindowTitle(QStringLiteral("General"));
    auto *layout = new QVBoxLayout(this);

    auto *grid = new QGridLayout;
    auto *modeLabel = CQtControlParent::Tag(new QLabel(QStringLiteral("Wireless Mode:")), IDC_WIRELESS_MODE_LABEL);
    m_pMode = CQtControlParent::Tag(new QComboBox, IDC_WIRELESS_MODE);
    m_pMode->addItems({QStringLiteral("(802.11) a/b/g"), QStringLiteral("(802.11) a"),
                       QStringLiteral("(802.11) b/g"), QStringLiteral("(802.11) b")});
    // The adapter's band follows the profile's PHY; the mode is not offered.
    modeLabel->hide();
    m_pMode->hide();
    grid->addWidget(modeLabel, 0, 0);
    grid->addWidget(m_pMode, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Max. Network Rate:")), 1, 0);
    m_pRates = CQtControlParent::Tag(new QComboBox, IDC_MAX_RATE);
    grid->addWidget(m_pRates, 1, 1);
    grid->addWidget(CQtControlParent::Tag(new QLabel(QStringLiteral("Maximum Tx Power")), IDC_TX_POWER_LABEL), 2, 0);
    m_pTxPower = CQtControlParent::Tag(new QComboBox, IDC_TX_POWER);
    // Sorted as the entries read; the leading blanks keep the order.
    m_pTxPower->addItems({QStringLiteral(" 12%"), QStringLiteral(" 25%"), QStringLiteral(" 50%"),
                          QStringLiteral("100%")});
    grid->addWidget(m_pTxPower, 2, 1);
    m_pShortPreamble = CQtControlParent::Tag(new QCheckBox(QStringLiteral("&Use Short Preamble for 2.4GHz modes")),
                                             IDC_SHORT_PREAMBLE);
    grid->addWidget(m_pShortPreamble, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    auto *rts = new QGridLayout;
    m_pUseRts = CQtControlParent::Tag(new QCheckBox(QStringLiteral("Use RTS")), IDC_USE_RTS);
    rts->addWidget(m_pUseRts, 0, 0);
    rts->addWidget(new QLabel(QStringLiteral("RTS Threshold:")), 0, 1, Qt::AlignRight);
    m_pRtsEdit = NumberEdit(IDC_RTS_THRESHOLD);
    rts->addWidget(m_pRtsEdit, 0, 2);
    m_pRtsSlider = ThresholdSlider(IDC_RTS_SLIDER, kRtsMin);
    rts->addWidget(m_pRtsSlider, 1, 0, 1, 3);
    rts->addWidget(CQtControlParent::Tag(new QLabel(QStringLiteral("0")), IDC_RTS_MIN_LABEL), 2, 0, Qt::AlignLeft);
    rts->addWidget(CQtControlParent::Tag(new QLabel(QStringLiteral("2312")), IDC_RTS_MAX_LABEL), 2, 2,
                   Qt::AlignRight);
    layout->addLayout(rts);

    // Fragmentation: kept, but not offered.
    auto *fragBox = new QWidget;
    auto *frag = new QGridLayout(fragBox);
    m_pUseFrag = CQtControlParent::Tag(new QCheckBox(QStringLiteral("Fragment Frames")), IDC_USE_FRAG);
    frag->addWidget(m_pUseFrag, 0, 0);
    m_pFragEdit = NumberEdit(IDC_FRAG_SIZE);
    frag->addWidget(m_pFragEdit, 0, 2);
    m_pFragSlider = ThresholdSlider(IDC_FRAG_SLIDER, kFragMin);
    frag->addWidget(m_pFragSlider, 1, 0, 1, 3);
    auto *fragMin = CQtControlParent::Tag(new QLabel(QStringLiteral("256")), IDC_FRAG_MIN_LABEL);
    auto *fragMax = CQtControlParent::Tag(new QLabel(QStringLiteral("2312")), IDC_FRAG_MAX_LABEL);
    frag->addWidget(fragMin, 2, 0, Qt::AlignLeft);
    frag->addWidget(fragMax, 2, 2, Qt::AlignRight);
    for (QWidget *w : std::initializer_list<QWidget *>{m_pUseFrag, m_pFragEdit, m_pFragSlider, fragMin, fragMax}) {
        w->hide();
    }
    layout->addWidget(fragBox);
    layout->addStretch(1);

    connect(m_pUseRts, &QCheckBox::clicked, this, &CEditProfileAdvGen::OnUseRts);
    connect(m_pUseFrag, &QCheckBox::clicked, this, &CEditProfileAdvGen::OnUseFragmentation);
    connect(m_pMode, &QComboBox::activated, this, &CEditProfileAdvGen::OnWirelessMode);
    connect(m_pRtsSlider, &QSlider::valueChanged, this, &CEditProfileAdvGen::OnRtsSlider);
    connect(m_pFragSlider, &QSlider::valueChanged, this, &CEditProfileAdvGen::OnFragSlider);
    connect(m_pRtsEdit, &QLineEdit::textChanged, this, &CEditProfileAdvGen::OnRtsEdit);
    connect(m_pFragEdit, &QLineEdit::textChanged, this, &CEditProfileAdvGen::OnFragEdit);
    connect(m_pRates, &QComboBox::activated, this, &CEditProfileAdvGen::Modified);
    connect(m_pTxPower, &QComboBox::activated, this, &CEditProfileAdvGen::Modified);
    connect(m_pShortPreamble, &QCheckBox::clicked, this, &CEditProfileAdvGen::Modified);
}

CEditProfileAdvGen::~CEditProfileAdvGen() = default;

CProfile *CEditProfileAdvGen::Record() const
{
    CProfileMngr *store = theApp().ProfileMngr();
    return store != nullptr ? store->Get(m_Target.profileName) : nullptr;
}

void CEditProfileAdvGen::OnInitDialog()
{
    const CProfile defaults;
    const CProfile *found = Record();
    const CProfile &record = found != nullptr ? *found : defaults;

    m_bSyncing = true;
    m_pFragSlider->setValue(record.MaxFragment);
    m_pUseFrag->setChecked(record.UseFragmentation);
    m_pFragEdit->setText(QString::number(record.MaxFragment));
    EnableFragmentation(record.UseFragmentation);

    m_pRtsSlider->setValue(record.RTSThreshold);
    m_pUseRts->setChecked(record.UseRTS);
    m_pRtsEdit->setText(QString::number(record.RTSThreshold));
    EnableRts(record.UseRTS);
    m_bSyncing = false;

    m_pMode->setCurrentIndex(record.WrLessMode >= 0 && record.WrLessMode < m_pMode->count() ? record.WrLessMode
                                                                                             : -1);
    FillRates(record.WrLessMode);
    SelectRate(record.MaxNetRate);

    m_pTxPower->setCurrentIndex(record.MaxTxPower >= 0 && record.MaxTxPower < m_pTxPower->count()
                                    ? record.MaxTxPower
                                    : m_pTxPower->count() - 1);
    m_pShortPreamble->setChecked(record.ShortPreamble);

    if (m_Target.editConnection) {
        for (int id : {IDC_WIRELESS_MODE, IDC_WIRELESS_MODE_LABEL, IDC_MAX_RATE, IDC_TX_POWER_LABEL}) {
            if (QWidget *w = m_Controls.Control(id)) {
                w->setEnabled(false);
            }
        }
    }
}

void CEditProfileAdvGen::FillRates(int mode)
{
    m_pRates->clear();
    // Rates in tenths of Mbit/s, so that 5.5 is exact.
    static const int kRatesA[] = {60, 90, 120, 180, 240, 360, 540};
    static const int kRatesB[] = {10, 20, 55, 60, 90, 110};
    static const int kRatesG[] = {120, 180, 240, 360, 540};
    auto add = [this](int tenths) {
        const QString text = tenths % 10 == 0 ? QString::number(tenths / 10)
                                              : QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
        m_pRates->addItem(text, tenths * (kRateUnit / 10));
    };
    if (mode == kModeA) {
        for (int r : kRatesA) {
            add(r);
        }
    } else {
        for (int r : kRatesB) {
            add(r);
        }
        if (mode != kModeB) {
            for (int r : kRatesG) {
                add(r);
            }
        }
    }
    m_pRates->setCurrentIndex(0);
}

void CEditProfileAdvGen::SelectRate(int maxNetRate)
{
    const int entry = m_pRates->findData(maxNetRate);
    m_pRates->setCurrentIndex(entry >= 0 ? entry : 0);
}

int CEditProfileAdvGen::SelectedRate() const
{
    const int entry = m_pRates->currentIndex();
    return entry >= 0 ? m_pRates->itemData(entry).toInt() : 0;
}

void CEditProfileAdvGen::EnableRts(bool enable)
{
    for (QWidget *w : {static_cast<QWidget *>(m_pRtsSlider), static_cast<QWidget *>(m_pRtsEdit),
                       m_Controls.Control(IDC_RTS_MIN_LABEL), m_Controls.Control(IDC_RTS_MAX_LABEL)}) {
        if (w != nullptr) {
            w->setEnabled(enable);
        }
    }
}

void CEditProfileAdvGen::EnableFragmentation(bool enable)
{
    for (QWidget *w : {static_cast<QWidget *>(m_pFragSlider), static_cast<QWidget *>(m_pFragEdit),
                       m_Controls.Control(IDC_FRAG_MIN_LABEL), m_Controls.Control(IDC_FRAG_MAX_LABEL)}) {
        if (w != nullptr) {
            w->setEnabled(enable);
        }
    }
}

void CEditProfileAdvGen::OnUseRts()
{
    EnableRts(m_pUseRts->isChecked());
    emit Modified();
}

void CEditProfileAdvGen::OnUseFragmentation()
{
    EnableFragmentation(m_pUseFrag->isChecked());
    emit Modified();
}

void CEditProfileAdvGen::OnWirelessMode()
{
    FillRates(m_pMode->currentIndex());
    emit Modified();
}

void CEditProfileAdvGen::OnRtsSlider()
{
    if (m_bSyncing) {
        return;
    }
    m_bSyncing = true;
    m_pRtsEdit->setText(QString::number(m_pRtsSlider->value()));
    m_bSyncing = false;
    emit Modified();
}

void CEditProfileAdvGen::OnFragSlider()
{
    if (m_bSyncing) {
        return;
    }
    m_bSyncing = true;
    m_pFragEdit->setText(QString::number(m_pFragSlider->value()));
    m_bSyncing = false;
    emit Modified();
}

void CEditProfileAdvGen::OnRtsEdit()
{
    if (m_bSyncing) {
        return;
    }
    int value = 0;
    if (EditNumber(m_pRtsEdit, &value)) {
        m_bSyncing = true;
        m_pRtsSlider->setValue(value);
        m_bSyncing = false;
    }
    emit Modified();
}

void CEditProfileAdvGen::OnFragEdit()
{
    if (m_bSyncing) {
        return;
    }
    int value = 0;
    if (EditNumber(m_pFragEdit, &value)) {
        m_bSyncing = true;
        m_pFragSlider->setValue(value);
        m_bSyncing = false;
    }
    emit Modified();
}

bool CEditProfileAdvGen::OnApply()
{
    int fragment = 0;
    const bool fragmentKnown = EditNumber(m_pFragEdit, &fragment);
    if (m_pUseFrag->isChecked() && (!fragmentKnown || fragment < kFragMin || fragment > kMaxFrameSize)) {
        ShowMessage(IDS_BAD_FRAGMENTATION);
        m_pFragEdit->setFocus();
        return false;
    }
    int rts = 0;
    const bool rtsKnown = EditNumber(m_pRtsEdit, &rts);
    if (m_pUseRts->isChecked() && (!rtsKnown || rts < kRtsMin || rts > kMaxFrameSize)) {
        ShowMessage(IDS_BAD_RTS);
        m_pRtsEdit->setFocus();
        return false;
    }
    CProfile *record = Record();
    if (record == nullptr) {
        return true;
    }
    record->UseFragmentation = m_pUseFrag->isChecked();
    if (fragmentKnown) {
        record->MaxFragment = fragment;
    }
    record->MaxNetRate = SelectedRate();
    if (rtsKnown) {
        record->RTSThreshold = rts;
    }
    record->UseRTS = m_pUseRts->isChecked();
    if (m_pMode->currentIndex() >= 0) {
        record->WrLessMode = m_pMode->currentIndex();
    }
    if (m_pTxPower->currentIndex() >= 0) {
        record->MaxTxPower = m_pTxPower->currentIndex();
    }
    record->ShortPreamble = m_pShortPreamble->isChecked();
    return true;
}

} // namespace kestrow
