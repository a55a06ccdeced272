#include "QtControlParent.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVariant>

namespace kestrow {

void CQtControlParent::SetTextOf(QWidget *w, const QString &text)
{
    if (w == nullptr) {
        return;
    }
    if (auto *label = qobject_cast<QLabel *>(w)) {
        label->setText(text);
    } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        edit->setText(text);
    } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        button->setText(text);
    } else if (auto *group = qobject_cast<QGroupBox *>(w)) {
        group->setTitle(text);
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
        const int index = combo->findText(text);
        if (index >= 0) {
            combo->setCurrentIndex(index);
        } else if (combo->isEditable()) {
            combo->setEditText(text);
        }
    } else {
        w->setWindowTitle(text);
    }
}

QString CQtControlParent::TextOf(const QWidget *w)
{
    if (w == nullptr) {
        return {};
    }
    if (auto *label = qobject_cast<const QLabel *>(w)) {
        return label->text();
    }
    if (auto *edit = qobject_cast<const QLineEdit *>(w)) {
        return edit->text();
    }
    if (auto *button = qobject_cast<const QAbstractButton *>(w)) {
        return button->text();
    }
    if (auto *group = qobject_cast<const QGroupBox *>(w)) {
        return group->title();
    }
    if (auto *combo = qobject_cast<const QComboBox *>(w)) {
        return combo->currentText();
    }
    return w->windowTitle();
}

void CQtTextSink::SetText(const std::string &text)
{
    CQtControlParent::SetTextOf(m_pWidget, QStr(text));
}

QWidget *CQtControlParent::Control(int id) const
{
    if (m_pParent == nullptr) {
        return nullptr;
    }
    const auto children = m_pParent->findChildren<QWidget *>();
    for (QWidget *w : children) {
        const QVariant v = w->property(kCtrlIdProperty);
        if (v.isValid() && v.toInt() == id) {
            return w;
        }
    }
    return nullptr;
}

ITextSink *CQtControlParent::FindControl(int id)
{
    auto it = m_ById.find(id);
    if (it != m_ById.end() && it->second->Widget() != nullptr) {
        return it->second;
    }
    QWidget *w = Control(id);
    if (w == nullptr) {
        return nullptr;
    }
    // A sink whose widget is gone is kept (a variable may still point to it;
    // it then sets nothing), and a new one serves the id from now on.
    m_Sinks.push_back(std::make_unique<CQtTextSink>(w));
    m_ById[id] = m_Sinks.back().get();
    return m_Sinks.back().get();
}

void CQtControlParent::SetItemText(int id, const QString &text)
{
    SetTextOf(Control(id), text);
}

QString CQtControlParent::ItemText(int id) const
{
    return TextOf(Control(id));
}

} // namespace kestrow
