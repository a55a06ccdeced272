// The bridge between the device parameter layer and Qt widgets: a page or
// dialog finds its controls by their numeric id (the Qt property "ctrlId")
// and communication variables show their text in them.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TextSink.h"

namespace kestrow {

// Property that carries a control's numeric id.
inline constexpr const char *kCtrlIdProperty = "ctrlId";

// A device or registry text (UTF-8; invalid bytes become replacement
// characters) as a QString, and back.
inline QString QStr(const std::string &s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::string StdStr(const QString &s)
{
    return s.toStdString();
}

// One control seen as a text sink.  Labels, line edits, buttons, group boxes
// and combo boxes (whose current text is set) are understood; the text is
// taken as UTF-8, invalid bytes shown as replacement characters.
class CQtTextSink : public ITextSink {
public:
    explicit CQtTextSink(QWidget *widget) : m_pWidget(widget) {}
    void SetText(const std::string &text) override;
    QWidget *Widget() const { return m_pWidget; }

private:
    QPointer<QWidget> m_pWidget;
};

class CQtControlParent : public IControlParent {
public:
    explicit CQtControlParent(QWidget *parent) : m_pParent(parent) {}

    // The descendant of the parent whose ctrlId is `id`, as a text sink
    // (kept for the life of this object), or null when there is none.
    ITextSink *FindControl(int id) override;

    // The widget with that id, or null.
    QWidget *Control(int id) const;
    // SetDlgItemText / GetDlgItemText; setting does nothing without a control.
    void SetItemText(int id, const QString &text);
    QString ItemText(int id) const;

    // Gives `w` the control id `id` and returns it.
    template <class W>
    static W *Tag(W *w, int id)
    {
        w->setProperty(kCtrlIdProperty, id);
        return w;
    }
    // The widget's text as SetItemText would set it.
    static QString TextOf(const QWidget *w);
    static void SetTextOf(QWidget *w, const QString &text);

private:
    QWidget *m_pParent;
    std::vector<std::unique_ptr<CQtTextSink>> m_Sinks;
    std::map<int, CQtTextSink *> m_ById;
};

} // namespace kestrow
