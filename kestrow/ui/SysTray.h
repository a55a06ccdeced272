// clsSysTray: the program's icon in the desktop's notification area.  It
// keeps its icon and tooltip whether or not it is shown, and reports a
// double click to its owner.
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <memory>
#include <optional>

class clsSysTray : public QObject {
    Q_OBJECT
public:
    // Longest tooltip; a longer text is cut.
    static constexpr int kMaxTip = 127;

    explicit clsSysTray(QObject *parent = nullptr);
    ~clsSysTray() override;

    // Shows the icon in the notification area; true when it is there
    // afterwards.  False, and nothing shown, when the desktop has no
    // notification area.
    bool Add();
    // Takes the icon out of the notification area.
    bool Remove();
    // Stores the icon and shows it when the icon is added.
    bool SetIcon(const QIcon &icon);
    // Stores the tooltip, cut to kMaxTip characters, and shows it when added.
    bool SetTip(const QString &text);
    QIcon GetIcon() const { return m_Icon; }
    QString GetTip() const { return m_strTip; }
    bool IsAdded() const { return m_bAdded; }

    // Whether the desktop has a notification area.  Tests may decide it.
    static bool Available();
    static void OverrideAvailable(std::optional<bool> available);

    // Handles a mouse action on the icon: a double click emits DoubleClicked;
    // nothing else does anything.
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

signals:
    void DoubleClicked();

private:
    std::unique_ptr<QSystemTrayIcon> m_pIcon;
    QIcon m_Icon;
    QString m_strTip;
    bool m_bAdded = false;
};
