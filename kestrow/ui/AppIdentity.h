// The application's names for Qt, set once at start by main() (and by the
// window tests, so that they see the captions as the program shows them).
//
// No application display name is set: window systems append it to every
// window caption ("Available Networks — ..."), and the captions are to read
// exactly as the windows give them.
#pragma once

#include <QApplication>
#include <QString>

namespace kestrow {

inline void SetApplicationIdentity()
{
    QApplication::setApplicationName(QStringLiteral("kestrow"));
    QApplication::setDesktopFileName(QStringLiteral("kestrow"));
}

} // namespace kestrow
