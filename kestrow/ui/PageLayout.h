// Small helpers that build the pages' label-and-value rows the same way on
// every page.
#pragma once

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QString>

class QPushButton;
class QVBoxLayout;

namespace kestrow {

class CPageLayout {
public:
    // A read-only value text with control id `id` (0: no id).  Its text
    // becomes selectable with the mouse through MakeValuesSelectable.
    static QLabel *ValueLabel(int id, const QString &text = QString());
    // Lets the user select the texts of the value labels under `page`.  A
    // selectable label lays its text out in a text document of its own,
    // which costs a start-up the time of several widgets: the window does
    // this after its first paint.
    static void MakeValuesSelectable(QWidget *page);
    // A group box with a form layout; the box's layout is returned in *form.
    static QGroupBox *Group(const QString &title, QFormLayout **form);
    // Adds "label  value" to the form and returns the value.
    static QLabel *AddRow(QFormLayout *form, const QString &label, int id,
                          const QString &text = QString());
    // The same for a value rewritten every second (a traffic counter or
    // rate).  Its text is not selectable: a selection would not outlive the
    // next second, and a selectable label lays out a text document, and
    // repaints twice, at every change.
    static QLabel *AddCounterRow(QFormLayout *form, const QString &label, int id,
                                 const QString &text = QString());

    // The button row of an edit sheet: OK (id 1, the default), Cancel (2)
    // and Apply (0x3021, disabled until a page changes), in that order at
    // the right; no Help.  Added to `layout`.
    struct SheetButtons {
        QPushButton *ok;
        QPushButton *cancel;
        QPushButton *apply;
    };
    static SheetButtons AddSheetButtons(QVBoxLayout *layout);
};

} // namespace kestrow
