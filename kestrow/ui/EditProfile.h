// CEditProfile: the modal profile edit sheet with its General and Security
// pages.  The caption decides what it shows:
//   "Profile Configuration" (with ": " and the name when editing),
//   "Save Connection to Profile": General and Security;
//   "Edit Connection Parameters": both, but only power save and security can
//     be changed (the edit-connection flag is set while the sheet exists);
//   "Enter Security Parameters": the Security page only.
// The pages write into the record of the edit-profile name on OK or Apply;
// the opener decides afterwards what to keep and saves.
#pragma once

#include <QDialog>
#include <QString>

#include "EditProfileGen.h"
#include "EditProfileSec.h"

class QPushButton;
class QTabWidget;

namespace kestrow {

class CEditProfile : public QDialog {
    Q_OBJECT
public:
    enum : int { IDOK_BUTTON = 1, IDCANCEL_BUTTON = 2, IDC_APPLY_NOW = 0x3021 };

    // Sets the edit-connection flag from the caption, builds the pages and
    // runs their start-up.
    explicit CEditProfile(const QString &caption, QWidget *parent = nullptr);
    ~CEditProfile() override;

    // Apply: every page's apply step in order; the first refusal stops it,
    // shows that page and gives false.
    bool OnApplyNow();
    // OK: applies and closes; a refusal keeps the sheet open.
    void OnOK();

    // Whether `caption` begins with string `id` of the string table.
    static bool CaptionBeginsWith(const QString &caption, int id);

    // Null when the caption leaves the General page out.
    CEditProfileGen *GenPage() const { return m_pGen; }
    CEditProfileSec &SecPage() const { return *m_pSec; }
    QTabWidget *Tabs() const { return m_pTabs; }
    QPushButton *ApplyButton() const { return m_pApply; }

private:
    QTabWidget *m_pTabs = nullptr;
    CEditProfileGen *m_pGen = nullptr;
    CEditProfileSec *m_pSec = nullptr;
    QPushButton *m_pApply = nullptr;
};

} // namespace kestrow
