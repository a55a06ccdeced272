// CMSMask: the masked key field of the Security page.  A line edit whose
// input mask is given in the key field's own notation: 'A' stands for one
// required hexadecimal digit, every other character is a separator shown as
// it is ("AA - AA - AA - AA - AA"; separators are never hexadecimal digits).
// Its value is the text without the separators; each change of the text is
// reported by Change().  A click past the characters typed so far puts the
// caret on the first empty place, and a checkable eye in the field shows the
// key or hides it behind dots (shown at first).
#pragma once

#include <QAction>
#include <QLineEdit>
#include <QString>

#include <vector>

namespace kestrow {

class CMSMask : public QLineEdit {
    Q_OBJECT
public:
    explicit CMSMask(QWidget *parent = nullptr);

    // Replaces the mask; the characters typed so far are kept as far as the
    // new mask has room for them.
    void SetMask(const QString &mask);
    const QString &Mask() const { return m_strMask; }
    // Number of characters the mask takes (its 'A' positions).
    int Capacity() const { return static_cast<int>(m_nCapacity); }

    // Puts the hexadecimal digits of `text` into the mask's places, in
    // order; other characters and those beyond the mask are dropped.
    void SetKeyText(const QString &text);
    // The characters entered, without separators or empty places.
    QString KeyText() const;

    // The Qt input mask for a mask in the key field's notation.
    static QString QtInputMask(const QString &mask);

    // The eye: checked while the key is shown.
    QAction *ShowKeyAction() const { return m_pShowKey; }

signals:
    void Change();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    // The display position of the first empty place after the characters
    // typed; the end of the text when the mask is full.
    int FirstFreePosition() const;

    static constexpr QChar kBlank = QLatin1Char('_');

    QString m_strMask;
    std::vector<bool> m_Input;  // per display position: a place for a character
    std::size_t m_nCapacity = 0;
    QAction *m_pShowKey = nullptr;
};

} // namespace kestrow
