#include "EditProfileSec.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "KestrowApp.h"
#include "MSMask.h"
#include "MessageSink.h"
#include "ProfileMngr.h"
#include "StringTable.h"

namespace kestrow {

namespace {
constexpr int kSecurityWep = 1;
const char *const kSecurityNames[] = {"None", "WEP", "TKIP", "AES"};
constexpr int kRadioIds[] = {CEditProfileSec::IDC_KEY1_RADIO, CEditProfileSec::IDC_KEY2_RADIO,
                             CEditProfileSec::IDC_KEY3_RADIO, CEditProfileSec::IDC_KEY4_RADIO};
constexpr int kSizeIds[] = {CEditProfileSec::IDC_KEY1_SIZE, CEditProfileSec::IDC_KEY2_SIZE,
                            CEditProfileSec::IDC_KEY3_SIZE, CEditProfileSec::IDC_KEY4_SIZE};
constexpr int kFieldIds[] = {CEditProfileSec::IDC_KEY1, CEditProfileSec::IDC_KEY2, CEditProfileSec::IDC_KEY3,
                             CEditProfileSec::IDC_KEY4};
} // namespace

CEditProfileSec::CEditProfileSec(const CEditTarget &target, QWidget *parent)
    : QWidget(parent), m_Target(target), m_Controls(this)
{
    setObjectName(QStringLiteral("Security"));
    setWindowTitle(QStringLiteral("Security"));
    auto *layout = new QVBoxLayout(this);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Security:")));
    m_pSecurity = CQtControlParent::Tag(new QComboBox, IDC_SECURITY);
    m_pSecurity->addItems({QStringLiteral("None"), QStringLiteral("WEP")});
    top->addWidget(m_pSecurity);
    m_pUse8021x = CQtControlParent::Tag(new QCheckBox(QStringLiteral("&Use 802.1x")), IDC_USE_8021X);
    m_pUse8021x->hide();
    top->addWidget(m_pUse8021x);
    top->addStretch(1);
    layout->addLayout(top);

    auto *group = CQtControlParent::Tag(new QGroupBox(QStringLiteral("Encryption Keys (Hex 0-9 A-F)")),
                                        IDC_KEYS_GROUP);
    auto *grid = new QGridLayout(group);
    m_pRadios = new QButtonGroup(this);
    for (int i = 0; i < kKeys; ++i) {
        KeyRow &row = m_Keys[static_cast<std::size_t>(i)];
        row.radio = CQtControlParent::Tag(new QRadioButton(QStringLiteral("Key%1:").arg(i + 1)), kRadioIds[i]);
        row.size = CQtControlParent::Tag(new QComboBox, kSizeIds[i]);
        row.size->addItems({QStringLiteral("40(64) bits"), QStringLiteral("104(128) bits")});
        row.field = CQtControlParent::Tag(new CMSMask, kFieldIds[i]);
        row.field->setMinimumWidth(row.field->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 40);
        m_pRadios->addButton(row.radio, i);
        grid->addWidget(row.radio, i, 0);
        grid->addWidget(row.size, i, 1);
        grid->addWidget(row.field, i, 2);
        connect(row.size, &QComboBox::activated, this, [this, i] { OnSizeChange(i); });
        connect(row.field, &CMSMask::Change, this, [this, i] { OnKeyChange(i); });
        connect(row.radio, &QRadioButton::clicked, this, &CEditProfileSec::Modified);
    }
    grid->setColumnStretch(2, 1);
    auto *text = CQtControlParent::Tag(
        new QLabel(QStringLiteral("A 40(64) bit key takes 10 hexadecimal digits, a 104(128) bit key 26. "
                                  "The selected key is used for sending.")),
        IDC_KEYS_TEXT);
    text->setWordWrap(true);
    grid->addWidget(text, kKeys, 0, 1, 3);
    layout->addWidget(group);
    layout->addStretch(1);

    connect(m_pSecurity, &QComboBox::activated, this, &CEditProfileSec::OnSecurityChange);
    connect(m_pUse8021x, &QCheckBox::clicked, this, &CEditProfileSec::OnUse8021x);
}

CEditProfileSec::~CEditProfileSec() = default;

CProfile *CEditProfileSec::Record() const
{
    CProfileMngr *store = theApp().ProfileMngr();
    return store != nullptr ? store->Get(m_Target.profileName) : nullptr;
}

QString CEditProfileSec::MaskOf(int sizeIndex)
{
    return QString::fromLatin1(sizeIndex == 0 ? kMask40 : kMask104);
}

int CEditProfileSec::DigitsOf(int sizeIndex)
{
    return sizeIndex == 0 ? 10 : sizeIndex == 1 ? 26 : 0;
}

void CEditProfileSec::OnInitDialog()
{
    const CProfile *record = Record();
    // Loading sets the key texts: their change handling must not pick an
    // active key the record does not have.
    m_bLoading = true;
    m_nStoredSecurity = record != nullptr ? record->SecType : 0;
    m_pSecurity->setCurrentIndex(m_nStoredSecurity >= 0 && m_nStoredSecurity < m_pSecurity->count()
                                     ? m_nStoredSecurity
                                     : -1);
    m_pUse8021x->setChecked(record != nullptr && record->Use802_1);
    for (int i = 0; i < kKeys; ++i) {
        KeyRow &row = m_Keys[static_cast<std::size_t>(i)];
        const auto k = static_cast<std::size_t>(i);
        const int size = record != nullptr ? record->SecKeyLen[k] : 0;
        row.size->setCurrentIndex(size == 0 || size == 1 ? size : -1);
        // A size the drop-down does not know gets the longer mask, so that
        // no character of the stored key is lost.
        row.field->SetMask(MaskOf(size == 0 ? 0 : 1));
        row.field->SetKeyText(record != nullptr ? QStr(record->SecKey[k]) : QString());
    }
    if (record != nullptr && record->ActiveSecKey >= 0 && record->ActiveSecKey < kKeys) {
        KeyRadio(record->ActiveSecKey)->setChecked(true);
    }
    m_bLoading = false;
    OnSecurityChange();
}

int CEditProfileSec::SecurityIndex() const
{
    const int index = m_pSecurity->currentIndex();
    return index >= 0 ? index : m_nStoredSecurity;
}

int CEditProfileSec::ActiveKey() const
{
    return m_pRadios->checkedId();
}

void CEditProfileSec::OnSecurityChange()
{
    const int index = SecurityIndex();
    const char *name = index >= 0 && index < 4 ? kSecurityNames[index] : "";
    const QString caption = QStringLiteral("Security: (%1)").arg(QString::fromLatin1(name));
    setWindowTitle(caption);
    emit CaptionChanged(caption);
    EnableKeys();
    update();
    if (!m_bLoading) {
        emit Modified();
    }
}

void CEditProfileSec::OnUse8021x()
{
    EnableKeys();
    emit Modified();
}

void CEditProfileSec::EnableKeys()
{
    const bool enable = SecurityIndex() != 0 && !m_pUse8021x->isChecked();
    for (const KeyRow &row : m_Keys) {
        row.radio->setEnabled(enable);
        row.size->setEnabled(enable);
        row.field->setEnabled(enable);
    }
    for (int id : {IDC_KEYS_GROUP, IDC_KEYS_TEXT}) {
        if (QWidget *w = m_Controls.Control(id)) {
            w->setEnabled(enable);
        }
    }
}

void CEditProfileSec::OnSizeChange(int key)
{
    const int size = KeySize(key)->currentIndex();
    KeyField(key)->SetMask(MaskOf(size));
    emit Modified();
}

bool CEditProfileSec::IsKeyComplete(int key) const
{
    const int size = KeySize(key)->currentIndex();
    return size >= 0 && KeyField(key)->KeyText().size() == DigitsOf(size);
}

void CEditProfileSec::ClearRadio(int key)
{
    // An exclusive group keeps one button checked; let go of it for a moment.
    m_pRadios->setExclusive(false);
    KeyRadio(key)->setChecked(false);
    m_pRadios->setExclusive(true);
}

void CEditProfileSec::OnKeyChange(int key)
{
    if (m_bLoading) {
        return;
    }
    const bool selected = KeyRadio(key)->isChecked();
    const bool complete = IsKeyComplete(key);
    if (selected && !complete) {
        ClearRadio(key);
    } else if (!selected && complete && ActiveKey() < 0) {
        KeyRadio(key)->setChecked(true);
    }
    emit Modified();
}

bool CEditProfileSec::OnApply()
{
    const int security = SecurityIndex();
    if (security == kSecurityWep && !m_pUse8021x->isChecked()) {
        const int active = ActiveKey();
        if (active < 0 || !IsKeyComplete(active)) {
            ShowMessage(IDS_NEED_SECURITY_KEY);
            KeyRadio(0)->setFocus();
            return false;
        }
    }
    CProfile *record = Record();
    if (record == nullptr) {
        return true;
    }
    record->SecType = security;
    record->Use802_1 = m_pUse8021x->isChecked();
    record->ActiveSecKey = ActiveKey();
    for (int i = 0; i < kKeys; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const int size = KeySize(i)->currentIndex();
        if (size >= 0) {
            record->SecKeyLen[k] = size;
        }
        record->SecKey[k] = StdStr(KeyField(i)->KeyText());
    }
    return true;
}

} // namespace kestrow
