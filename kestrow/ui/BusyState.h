// CBusyState: a command of a page runs on the device worker.  While it runs
// the window stays usable and the cursor says that work is under way; the
// page keeps its command buttons off.  A page that goes while busy gives the
// cursor back.
#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace kestrow {

class CBusyState {
public:
    CBusyState() = default;
    ~CBusyState() { Set(false); }
    CBusyState(const CBusyState &) = delete;
    CBusyState &operator=(const CBusyState &) = delete;

    bool Busy() const { return m_bBusy; }
    // False when the state was already `busy`.
    bool Set(bool busy)
    {
        if (busy == m_bBusy) {
            return false;
        }
        m_bBusy = busy;
        if (busy) {
            QGuiApplication::setOverrideCursor(Qt::BusyCursor);
        } else {
            QGuiApplication::restoreOverrideCursor();
        }
        return true;
    }

private:
    bool m_bBusy = false;
};

} // namespace kestrow
