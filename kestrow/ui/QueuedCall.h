// Runs a function on the thread of a QObject, queued into that thread's
// event loop, from any thread: how the workers and the polling thread hand
// values to the window.
#pragma once

#include <QMetaObject>
#include <QObject>

#include <mutex>
#include <utility>

namespace kestrow {

#if defined(__SANITIZE_THREAD__)
// Qt hands a queued call to the receiving thread through its own event
// queue, whose locks ThreadSanitizer cannot see (Qt is not built with it),
// so it reports the call's captures, written on the posting thread and read
// and freed on the receiving one, as races.  In that build the hand-over is
// also made through this mutex, which it sees.
inline std::mutex &QueuedCallHandover()
{
    static std::mutex handover;
    return handover;
}
#endif

// Queues `f` to run on `context`'s thread; it is dropped when `context` is
// destroyed first.
template <class F>
void PostQueued(QObject *context, F f)
{
#if defined(__SANITIZE_THREAD__)
    std::lock_guard<std::mutex> posting(QueuedCallHandover());
    QMetaObject::invokeMethod(context, [f = std::move(f)]() mutable {
        { std::lock_guard<std::mutex> received(QueuedCallHandover()); }
        f();
    }, Qt::QueuedConnection);
#else
    QMetaObject::invokeMethod(context, std::move(f), Qt::QueuedConnection);
#endif
}

} // namespace kestrow
