// Helpers of the status pages for putting values on screen: a text is set
// only when it changed (an unchanged label costs no layout and no repaint,
// and most refreshes change nothing), and the line that says whether there
// is an adapter.
#pragma once

#include <QLabel>
#include <QString>
#include <QVBoxLayout>

#include "AdapterState.h"
#include "QtControlParent.h"

namespace kestrow {

inline void SetChangedText(CQtControlParent &controls, int id, const QString &text)
{
    if (controls.ItemText(id) != text) {
        controls.SetItemText(id, text);
    }
}

// The adapter-state line at the top of `layout`, hidden while there is
// nothing to say.
inline QLabel *AddAdapterStateLine(QVBoxLayout *layout)
{
    auto *line = new QLabel;
    line->setObjectName(QStringLiteral("adapterState"));
    line->setWordWrap(true);
    line->hide();
    layout->addWidget(line);
    return line;
}

inline void ShowAdapterState(QLabel *line, AdapterState state)
{
    const QString text = QString::fromLatin1(AdapterStateText(state));
    if (line->text() != text) {
        line->setText(text);
    }
    line->setVisible(!text.isEmpty());
}

} // namespace kestrow
