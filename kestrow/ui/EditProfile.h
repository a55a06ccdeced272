// CEditProfile: the modal profile edit sheet with its General and Security
// pages.  The caption decides what it shows:
//   "Profile Configuration" (with ": " and the name when editing),
//   "Save Connection to Profile": General and Security;
//   "Edit Connection Parameters": both, but only power save and security can
//     be changed;
//   "Enter Security Parameters": the Security page only.
// The pages write into the store's record named by the sheet's target on OK
// or Apply; the opener decides afterwards what to keep and saves, following
// the name the General page may have changed (ProfileName).
#pragma once

#include <QDialog>
#include <QString>

#include "EditProfileGen.h"
#include "EditProfileSec.h"
#include "EditTarget.h"

class QPushButton;
class QTabWidget;

namespace kestrow {

class CEditProfile : public QDialog {
    Q_OBJECT
public:
    enum : int { IDOK_BUTTON = 1, IDCANCEL_BUTTON = 2, IDC_APPLY_NOW = 0x3021 };

    // Edits the record of `profileName` (see CEditTarget); the caption
    // decides the pages and the edit-connection mode.  Builds the pages and
    // runs their start-up.
    CEditProfile(const QString &caption, const std::string &profileName, QWidget *parent = nullptr);
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
    // The edited record's name now: the General page follows a rename.
    const std::string &ProfileName() const { return m_Target.profileName; }
    bool IsEditConnection() const { return m_Target.editConnection; }

private:
    CEditTarget m_Target;
    QTabWidget *m_pTabs = nullptr;
    CEditProfileGen *m_pGen = nullptr;
    CEditProfileSec *m_pSec = nullptr;
    QPushButton *m_pApply = nullptr;
};

} // namespace kestrow
