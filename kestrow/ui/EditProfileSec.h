// CEditProfileSec: the Security page of the profile edit sheet (dialog 171):
// the security type, "Use 802.1x" (kept hidden) and four WEP keys, each with
// its radio (the active key), its size and its masked key field.  It edits
// the record its target names in place on OK or Apply.
#pragma once

#include <QString>
#include <QWidget>

#include <array>

#include "EditTarget.h"
#include "QtControlParent.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QRadioButton;

namespace kestrow {

class CMSMask;
class CProfile;

class CEditProfileSec : public QWidget {
    Q_OBJECT
public:
    enum : int {
        IDD = 171,
        IDC_KEY1_RADIO = 1093,
        IDC_KEY2_RADIO = 1094,
        IDC_KEY3_RADIO = 1095,
        IDC_KEY4_RADIO = 1096,
        IDC_SECURITY = 1099,
        IDC_KEY1_SIZE = 1108,
        IDC_KEY2_SIZE = 1109,
        IDC_KEY1 = 1110,
        IDC_USE_8021X = 1111,
        IDC_KEY2 = 1112,
        IDC_KEY3_SIZE = 1113,
        IDC_KEY3 = 1114,
        IDC_KEY4_SIZE = 1115,
        IDC_KEY4 = 1116,
        IDC_KEYS_GROUP = 1119,
        IDC_KEYS_TEXT = 1120,
    };
    static constexpr int kKeys = 4;
    static constexpr const char *kMask40 = "AA - AA - AA - AA - AA";
    static constexpr const char *kMask104 = "AA-AA-AA-AA-AA-AA-AA-AA-AA-AA-AA-AA-AA";

    explicit CEditProfileSec(const CEditTarget &target, QWidget *parent = nullptr);
    ~CEditProfileSec() override;

    // Start-up: loads the security type, 802.1x and the keys from the record.
    void OnInitDialog();
    // The sheet's OK or Apply.  False (message 110, focus on key 1's radio)
    // when WEP without 802.1x has no complete active key.
    bool OnApply();

    // Control handlers.
    void OnSecurityChange();
    void OnUse8021x();
    void OnSizeChange(int key);
    void OnKeyChange(int key);

    // A key is complete when it has a size and all the characters it takes.
    bool IsKeyComplete(int key) const;
    // The mask of a key size index (0: 40(64) bits, 1: 104(128) bits).
    static QString MaskOf(int sizeIndex);
    // Digits of a key of that size; 0 for an unknown size.
    static int DigitsOf(int sizeIndex);

    CMSMask *KeyField(int key) const { return m_Keys[static_cast<std::size_t>(key)].field; }
    QRadioButton *KeyRadio(int key) const { return m_Keys[static_cast<std::size_t>(key)].radio; }
    QComboBox *KeySize(int key) const { return m_Keys[static_cast<std::size_t>(key)].size; }
    QComboBox *Security() const { return m_pSecurity; }
    QCheckBox *Use8021x() const { return m_pUse8021x; }
    // The selected key's index, -1 when none is selected.
    int ActiveKey() const;
    CQtControlParent &Controls() { return m_Controls; }

signals:
    void Modified();
    // The page's caption changed ("Security: (WEP)").
    void CaptionChanged(const QString &caption);

private:
    struct KeyRow {
        QRadioButton *radio = nullptr;
        QComboBox *size = nullptr;
        CMSMask *field = nullptr;
    };

    CProfile *Record() const;
    void EnableKeys();
    void ClearRadio(int key);
    int SecurityIndex() const;

    const CEditTarget &m_Target;
    CQtControlParent m_Controls;
    QComboBox *m_pSecurity = nullptr;
    QCheckBox *m_pUse8021x = nullptr;
    QButtonGroup *m_pRadios = nullptr;
    std::array<KeyRow, kKeys> m_Keys{};
    // A stored type the drop-down does not offer (TKIP, AES) is kept.
    int m_nStoredSecurity = 0;
    bool m_bLoading = false;
};

} // namespace kestrow
