// Shows the program's messages (ShowMessage by string id) in QMessageBox.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <string>

#include "MessageSink.h"

namespace kestrow {

class CQtMessageSink : public IMessageSink {
public:
    // Installs itself as the program's message sink; `owner` (may be null)
    // becomes the parent of each box.  Removes itself when destroyed.
    explicit CQtMessageSink(QWidget *owner = nullptr);
    ~CQtMessageSink() override;
    CQtMessageSink(const CQtMessageSink &) = delete;
    CQtMessageSink &operator=(const CQtMessageSink &) = delete;

    void SetOwner(QWidget *owner) { m_pOwner = owner; }
    int ShowMessageBox(const std::string &text, unsigned type) override;

private:
    QPointer<QWidget> m_pOwner;
    IMessageSink *m_pPrevious = nullptr;
};

// Shows a text that is not in the string table through the installed message
// sink, as ShowMessage does for string ids.  Returns the box's result; 0 when
// no sink is installed.  User-interface thread only.
int ShowMessageText(const QString &text, unsigned type);

} // namespace kestrow
