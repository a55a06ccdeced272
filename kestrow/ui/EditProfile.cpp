#include "EditProfile.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "PageLayout.h"
#include "QtControlParent.h"
#include "StringTable.h"

namespace kestrow {

bool CEditProfile::CaptionBeginsWith(const QString &caption, int id)
{
    const QString text = QStr(LoadString(id));
    return !text.isEmpty() && caption.startsWith(text);
}

CEditProfile::CEditProfile(const QString &caption, const std::string &profileName, QWidget *parent)
    : QDialog(parent), m_Target{profileName, CaptionBeginsWith(caption, IDS_EDIT_CONNECTION)}
{
    setWindowTitle(caption);
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    m_pTabs = new QTabWidget;
    if (!CaptionBeginsWith(caption, IDS_ENTER_SECURITY)) {
        m_pGen = new CEditProfileGen(m_Target);
        m_pTabs->addTab(m_pGen, m_pGen->windowTitle());
    }
    m_pSec = new CEditProfileSec(m_Target);
    m_pTabs->addTab(m_pSec, m_pSec->windowTitle());
    layout->addWidget(m_pTabs);

    const CPageLayout::SheetButtons buttons = CPageLayout::AddSheetButtons(layout);
    QPushButton *ok = buttons.ok;
    QPushButton *cancel = buttons.cancel;
    m_pApply = buttons.apply;

    connect(ok, &QPushButton::clicked, this, &CEditProfile::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pApply, &QPushButton::clicked, this, [this] { (void)OnApplyNow(); });

    if (m_pGen != nullptr) {
        m_pGen->OnInitDialog();
        connect(m_pGen, &CEditProfileGen::Modified, this, [this] { m_pApply->setEnabled(true); });
    }
    m_pSec->OnInitDialog();
    m_pTabs->setTabText(m_pTabs->indexOf(m_pSec), m_pSec->windowTitle());
    connect(m_pSec, &CEditProfileSec::Modified, this, [this] { m_pApply->setEnabled(true); });
    connect(m_pSec, &CEditProfileSec::CaptionChanged, this,
            [this](const QString &text) { m_pTabs->setTabText(m_pTabs->indexOf(m_pSec), text); });
}

CEditProfile::~CEditProfile() = default;

bool CEditProfile::OnApplyNow()
{
    if (m_pGen != nullptr && !m_pGen->OnApply()) {
        m_pTabs->setCurrentWidget(m_pGen);
        return false;
    }
    if (!m_pSec->OnApply()) {
        m_pTabs->setCurrentWidget(m_pSec);
        return false;
    }
    m_pApply->setEnabled(false);
    return true;
}

void CEditProfile::OnOK()
{
    if (OnApplyNow()) {
        accept();
    }
}

} // namespace kestrow
