// CFirstPaintProbe: for the start-up benchmark.  Watching a window, it
// prints "first-paint-ms N peak-rss-kb N" after the window's first paint
// (N: milliseconds since the clock started, and the process's peak resident
// memory) and ends the program.  Kestrow and the benchmark's minimal Qt
// program both use it, so the two measure the same thing.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMetaObject>
#include <QObject>

#include <cstdio>

#include <sys/resource.h>

class CFirstPaintProbe : public QObject {
public:
    explicit CFirstPaintProbe(const QElapsedTimer &clock) : m_Clock(clock) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_bSeen) {
            m_bSeen = true;
            const qint64 ms = m_Clock.elapsed();
            QMetaObject::invokeMethod(this, [ms] {
                rusage usage{};
                getrusage(RUSAGE_SELF, &usage);
                std::printf("first-paint-ms %lld peak-rss-kb %ld\n", static_cast<long long>(ms),
                            usage.ru_maxrss);
                std::fflush(stdout);
                QApplication::quit();
            }, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer &m_Clock;
    bool m_bSeen = false;
};
