#include "MSMask.h"

namespace kestrow {

namespace {
// Characters with a meaning in a Qt input mask; as separators they are escaped.
bool IsQtMaskMeta(QChar c)
{
    static const QString kMeta = QStringLiteral("AaNnXx90Dd#HhBb><![]{}\\;");
    return kMeta.contains(c);
}

// What the mask's places admit.
bool IsAsciiLetterOrDigit(QChar c)
{
    return c.unicode() < 0x80 && c.isLetterOrNumber();
}
} // namespace

CMSMask::CMSMask(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] { emit Change(); });
}

QString CMSMask::QtInputMask(const QString &mask)
{
    QString out;
    for (QChar c : mask) {
        if (c == QLatin1Char('A')) {
            out += QLatin1Char('N');
        } else {
            if (IsQtMaskMeta(c)) {
                out += QLatin1Char('\\');
            }
            out += c;
        }
    }
    out += QLatin1Char(';');
    out += kBlank;
    return out;
}

void CMSMask::SetMask(const QString &mask)
{
    const QString kept = KeyText();
    m_strMask = mask;
    m_Input.assign(static_cast<std::size_t>(mask.size()), false);
    m_nCapacity = 0;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        if (mask[i] == QLatin1Char('A')) {
            m_Input[static_cast<std::size_t>(i)] = true;
            ++m_nCapacity;
        }
    }
    setInputMask(QtInputMask(mask));
    SetKeyText(kept);
}

void CMSMask::SetKeyText(const QString &text)
{
    // The display text is built here, separators included, so that the
    // characters land in the places meant for them whatever the separators.
    QString display(m_strMask.size(), kBlank);
    qsizetype next = 0;
    for (qsizetype i = 0; i < m_strMask.size(); ++i) {
        if (!m_Input[static_cast<std::size_t>(i)]) {
            display[i] = m_strMask[i];
            continue;
        }
        while (next < text.size() && !IsAsciiLetterOrDigit(text[next])) {
            ++next;
        }
        if (next < text.size()) {
            display[i] = text[next];
            ++next;
        }
    }
    setText(display);
}

QString CMSMask::KeyText() const
{
    QString key;
    const QString shown = displayText();
    for (qsizetype i = 0; i < shown.size() && i < static_cast<qsizetype>(m_Input.size()); ++i) {
        if (m_Input[static_cast<std::size_t>(i)] && shown[i] != kBlank) {
            key += shown[i];
        }
    }
    return key;
}

} // namespace kestrow
