// CPageSlot: the place of one page in the main window's sheet.  The page is
// made when it is first needed (shown, or built while the event loop is
// idle after the first paint), so that start-up builds only what the first
// picture shows.  Until then the slot is empty and asks for the sheet's
// design size, which every page fits: the window gets its final size from
// the start and does not grow when a page comes.  The slot fills itself
// with the page and passes a layout change of the page on to the sheet only
// when it changes the page's size hints.
#pragma once

#include <QSize>
#include <QWidget>

#include <functional>

namespace kestrow {

class CPageSlot : public QWidget {
    Q_OBJECT
public:
    // `make` builds the page (without a parent; the slot takes it).
    explicit CPageSlot(std::function<QWidget *()> make, QWidget *parent = nullptr);

    // The page, made now when it is not there yet.
    QWidget *Build();
    bool IsBuilt() const { return m_pPage != nullptr; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The page area every page of the sheet fits, in units of the font:
    // 75 average characters by 41 lines.
    static QSize DesignSize(const QFont &font);

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    std::function<QWidget *()> m_Make;
    QWidget *m_pPage = nullptr;
    QSize m_Hint;     // the page's size hints as the sheet last saw them
    QSize m_MinHint;
};

} // namespace kestrow
