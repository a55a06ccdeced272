#include "PageLayout.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "QtControlParent.h"

namespace kestrow {

namespace {
// Marks a value label whose text is to become selectable.
constexpr char kSelectableLater[] = "kestrowSelectableLater";
} // namespace

QLabel *CPageLayout::ValueLabel(int id, const QString &text)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setProperty(kSelectableLater, true);
    label->setMinimumWidth(200);
    if (id != 0) {
        CQtControlParent::Tag(label, id);
    }
    return label;
}

void CPageLayout::MakeValuesSelectable(QWidget *page)
{
    for (QLabel *label : page->findChildren<QLabel *>()) {
        if (label->property(kSelectableLater).toBool()) {
            label->setProperty(kSelectableLater, QVariant());
            label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        }
    }
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

QLabel *CPageLayout::AddCounterRow(QFormLayout *form, const QString &label, int id, const QString &text)
{
    QLabel *value = AddRow(form, label, id, text);
    value->setProperty(kSelectableLater, QVariant());
    value->setTextInteractionFlags(Qt::NoTextInteraction);
    return value;
}

CPageLayout::SheetButtons CPageLayout::AddSheetButtons(QVBoxLayout *layout)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    SheetButtons b{};
    b.ok = CQtControlParent::Tag(new QPushButton(QStringLiteral("OK")), 1);
    b.cancel = CQtControlParent::Tag(new QPushButton(QStringLiteral("Cancel")), 2);
    b.apply = CQtControlParent::Tag(new QPushButton(QStringLiteral("&Apply")), 0x3021);
    b.apply->setEnabled(false);
    b.ok->setDefault(true);
    row->addWidget(b.ok);
    row->addWidget(b.cancel);
    row->addWidget(b.apply);
    layout->addLayout(row);
    return b;
}

} // namespace kestrow
