#include "PageLayout.h"

#include "QtControlParent.h"

namespace kestrow {

QLabel *CPageLayout::ValueLabel(int id, const QString &text)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(200);
    if (id != 0) {
        CQtControlParent::Tag(label, id);
    }
    return label;
}

QGroupBox *CPageLayout::Group(const QString &title, QFormLayout **form)
{
    auto *box = new QGroupBox(title);
    auto *layout = new QFormLayout(box);
    layout->setLabelAlignment(Qt::AlignLeft);
    layout->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    layout->setHorizontalSpacing(24);
    *form = layout;
    return box;
}

QLabel *CPageLayout::AddRow(QFormLayout *form, const QString &label, int id, const QString &text)
{
    QLabel *value = ValueLabel(id, text);
    form->addRow(label, value);
    return value;
}

} // namespace kestrow
