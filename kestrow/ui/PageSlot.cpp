#include "PageSlot.h"

#include <QFontMetrics>
#include <QVBoxLayout>

namespace kestrow {

CPageSlot::CPageSlot(std::function<QWidget *()> make, QWidget *parent) : QWidget(parent), m_Make(std::move(make))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

QWidget *CPageSlot::Build()
{
    if (m_pPage == nullptr) {
        m_pPage = m_Make();
        m_Make = nullptr;
        layout()->addWidget(m_pPage);
        // A slot on screen shows its new page at once, not on a later turn
        // of the event loop.
        if (isVisible()) {
            m_pPage->show();
        }
    }
    return m_pPage;
}

QSize CPageSlot::sizeHint() const
{
    const QSize design = DesignSize(font());
    return m_pPage != nullptr ? QWidget::sizeHint().expandedTo(design) : design;
}

QSize CPageSlot::minimumSizeHint() const
{
    return m_pPage != nullptr ? QWidget::minimumSizeHint() : QSize(0, 0);
}

QSize CPageSlot::DesignSize(const QFont &font)
{
    const QFontMetrics fm(font);
    return {75 * fm.averageCharWidth(), 41 * fm.lineSpacing()};
}

} // namespace kestrow
