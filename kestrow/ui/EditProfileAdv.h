// CEditProfileAdv: the "Advanced Profile Edit" sheet, opened from the
// General page's "&Advanced" button.  One page, CEditProfileAdvGen; OK,
// Cancel and Apply write into the record the General page's target names.
#pragma once

#include <QDialog>
#include <QString>

#include "EditProfileAdvGen.h"

class QPushButton;
class QTabWidget;

namespace kestrow {

class CEditProfileAdv : public QDialog {
    Q_OBJECT
public:
    enum : int { IDOK_BUTTON = 1, IDCANCEL_BUTTON = 2, IDC_APPLY_NOW = 0x3021 };

    CEditProfileAdv(const QString &caption, const CEditTarget &target, QWidget *parent = nullptr);
    ~CEditProfileAdv() override;

    // Apply: the page's apply step; false when it refused.
    bool OnApplyNow();
    // OK: applies and closes; a refusal keeps the sheet open.
    void OnOK();

    CEditProfileAdvGen &Page() { return *m_pPage; }
    QTabWidget *Tabs() const { return m_pTabs; }

private:
    QTabWidget *m_pTabs = nullptr;
    CEditProfileAdvGen *m_pPage = nullptr;
    QPushButton *m_pApply = nullptr;
};

} // namespace kestrow
