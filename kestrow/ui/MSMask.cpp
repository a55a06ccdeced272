#include "MSMask.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kestrow {

namespace {
// Characters with a meaning in a Qt input mask; as separators they are escaped.
bool IsQtMaskMeta(QChar c)
{
    static const QString kMeta = QStringLiteral("AaNnXx90Dd#HhBb><![]{}\\;");
    return kMeta.contains(c);
}

// What the mask's places admit.
bool IsHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

// An eye in the text colour, crossed out for a hidden key.
QIcon EyeIcon(const QColor &color, bool crossed)
{
    constexpr int kSize = 16;
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1.5));
    QPainterPath outline;
    outline.moveTo(1, 8);
    outline.quadTo(8, 1, 15, 8);
    outline.quadTo(8, 15, 1, 8);
    painter.drawPath(outline);
    painter.setBrush(color);
    painter.drawEllipse(QPointF(8, 8), 2.5, 2.5);
    if (crossed) {
        painter.drawLine(QPointF(2, 14), QPointF(14, 2));
    }
    return QIcon(pixmap);
}
} // namespace

CMSMask::CMSMask(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] { emit Change(); });
    const QColor color = palette().color(QPalette::Text);
    m_pShowKey = addAction(EyeIcon(color, false), QLineEdit::TrailingPosition);
    m_pShowKey->setCheckable(true);
    m_pShowKey->setChecked(true);
    m_pShowKey->setToolTip(QStringLiteral("Hide the key"));
    connect(m_pShowKey, &QAction::toggled, this, [this, color](bool shown) {
        setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
        m_pShowKey->setIcon(EyeIcon(color, !shown));
        m_pShowKey->setToolTip(shown ? QStringLiteral("Hide the key") : QStringLiteral("Show the key"));
    });
}

void CMSMask::mousePressEvent(QMouseEvent *event)
{
    QLineEdit::mousePressEvent(event);
    // A caret past the empty places would take no characters.
    if (!hasSelectedText() && cursorPosition() > FirstFreePosition()) {
        setCursorPosition(FirstFreePosition());
    }
}

int CMSMask::FirstFreePosition() const
{
    const auto typed = static_cast<std::size_t>(KeyText().size());
    std::size_t places = 0;
    for (std::size_t i = 0; i < m_Input.size(); ++i) {
        if (m_Input[i] && places++ == typed) {
            return static_cast<int>(i);
        }
    }
    return static_cast<int>(m_strMask.size());
}

QString CMSMask::QtInputMask(const QString &mask)
{
    QString out;
    for (QChar c : mask) {
        if (c == QLatin1Char('A')) {
            out += QLatin1Char('H');
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
        while (next < text.size() && !IsHexDigit(text[next])) {
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
    // text() has the separators and no empty places; the display text
    // cannot be used as it is all dots while the key is hidden.
    QString key;
    for (QChar c : text()) {
        if (IsHexDigit(c)) {
            key += c;
        }
    }
    return key;
}

} // namespace kestrow
