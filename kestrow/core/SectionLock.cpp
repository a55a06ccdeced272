#include "SectionLock.h"

#include <thread>

namespace kestrow {

CSectionLock::CSectionLock(CKestrowApp &app, Section which)
    : m_App(app), m_Which(which), m_bOwns(app.EnterSection(which))
{
}

CSectionLock::CSectionLock(CKestrowApp &app, Section which, std::chrono::milliseconds maxWait)
    : m_App(app), m_Which(which)
{
    const auto deadline = std::chrono::steady_clock::now() + maxWait;
    while (!(m_bOwns = app.EnterSection(which))) {
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void CSectionLock::Unlock()
{
    if (m_bOwns) {
        m_bOwns = false;
        m_App.LeaveSection(m_Which);
    }
}

} // namespace kestrow
