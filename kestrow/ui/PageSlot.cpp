#include "PageSlot.h"

#include <QEvent>
#include <QFontMetrics>

namespace kestrow {

CPageSlot::CPageSlot(std::function<QWidget *()> make, QWidget *parent) : QWidget(parent), m_Make(std::move(make)) {}

QWidget *CPageSlot::Build()
{
    if (m_pPage == nullptr) {
        m_pPage = m_Make();
        m_Make = nullptr;
        m_pPage->setParent(this);
        m_pPage->setGeometry(rect());
        m_Hint = m_pPage->sizeHint();
        m_MinHint = m_pPage->minimumSizeHint();
        updateGeometry();
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
    return m_pPage != nullptr ? m_pPage->sizeHint().expandedTo(design) : design;
}

QSize CPageSlot::minimumSizeHint() const
{
    return m_pPage != nullptr ? m_pPage->minimumSizeHint() : QSize(0, 0);
}

void CPageSlot::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_pPage != nullptr) {
        m_pPage->setGeometry(rect());
    }
}

bool CPageSlot::event(QEvent *event)
{
    // The page laid itself out again (a value changed).  The sheet is told
    // only when the page's size hints changed: a sheet told of every change
    // lays out and repaints all of itself each time.
    if (event->type() == QEvent::LayoutRequest && m_pPage != nullptr) {
        const QSize hint = m_pPage->sizeHint();
        const QSize minHint = m_pPage->minimumSizeHint();
        if (hint != m_Hint || minHint != m_MinHint) {
            m_Hint = hint;
            m_MinHint = minHint;
            updateGeometry();
        }
    }
    return QWidget::event(event);
}

QSize CPageSlot::DesignSize(const QFont &font)
{
    const QFontMetrics fm(font);
    return {75 * fm.averageCharWidth(), 41 * fm.lineSpacing()};
}

} // namespace kestrow
