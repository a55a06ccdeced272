#include "EditProfileAdv.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "PageLayout.h"
#include "QtControlParent.h"

namespace kestrow {

CEditProfileAdv::CEditProfileAdv(const QString &caption, const CEditTarget &target, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(caption);
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    m_pTabs = new QTabWidget;
    m_pPage = new CEditProfileAdvGen(target);
    m_pTabs->addTab(m_pPage, m_pPage->windowTitle());
    layout->addWidget(m_pTabs);

    const CPageLayout::SheetButtons buttons = CPageLayout::AddSheetButtons(layout);
    QPushButton *ok = buttons.ok;
    QPushButton *cancel = buttons.cancel;
    m_pApply = buttons.apply;

    connect(ok, &QPushButton::clicked, this, &CEditProfileAdv::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pApply, &QPushButton::clicked, this, [this] { (void)OnApplyNow(); });
    m_pPage->OnInitDialog();
    connect(m_pPage, &CEditProfileAdvGen::Modified, this, [this] { m_pApply->setEnabled(true); });
}

CEditProfileAdv::~CEditProfileAdv() = default;

bool CEditProfileAdv::OnApplyNow()
{
    if (!m_pPage->OnApply()) {
        return false;
    }
    m_pApply->setEnabled(false);
    return true;
}

void CEditProfileAdv::OnOK()
{
    if (OnApplyNow()) {
        accept();
    }
}

} // namespace kestrow
