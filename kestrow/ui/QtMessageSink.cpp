#include "QtMessageSink.h"

#include <QMessageBox>
#include <QString>

namespace kestrow {

CQtMessageSink::CQtMessageSink(QWidget *owner) : m_pOwner(owner)
{
    m_pPrevious = SetMessageSink(this);
}

CQtMessageSink::~CQtMessageSink()
{
    SetMessageSink(m_pPrevious);
}

int CQtMessageSink::ShowMessageBox(const std::string &text, unsigned type)
{
    QMessageBox box(m_pOwner);
    box.setWindowTitle(QStringLiteral("Configuration Utility"));
    box.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    switch (type & 0xF0u) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (type & 0x0Fu) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDCANCEL;
    }
}

int ShowMessageText(const QString &text, unsigned type)
{
    // The core keeps the installed sink; look at it without changing it.
    IMessageSink *sink = SetMessageSink(nullptr);
    SetMessageSink(sink);
    return sink != nullptr ? sink->ShowMessageBox(text.toStdString(), type) : 0;
}

} // namespace kestrow
