// Small helpers that build the pages' label-and-value rows the same way on
// every page.
#pragma once

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QString>

namespace kestrow {

class CPageLayout {
public:
    // A read-only value text with control id `id` (0: no id).
    static QLabel *ValueLabel(int id, const QString &text = QString());
    // A group box with a form layout; the box's layout is returned in *form.
    static QGroupBox *Group(const QString &title, QFormLayout **form);
    // Adds "label  value" to the form and returns the value.
    static QLabel *AddRow(QFormLayout *form, const QString &label, int id,
                          const QString &text = QString());
};

} // namespace kestrow
