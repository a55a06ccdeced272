// The yardstick of the GUI benchmark: the smallest Qt 6 program that shows a
// QTabWidget with four tabs.  Prints "first-paint-ms N peak-rss-kb N" after
// its first paint, as "kestrow --exit-after-first-paint" does, and exits.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QTabWidget>

#include <cstdio>

#include <sys/resource.h>

namespace {
class FirstPaint : public QObject {
public:
    explicit FirstPaint(const QElapsedTimer &clock) : m_clock(clock) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            const qint64 ms = m_clock.elapsed();
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
    const QElapsedTimer &m_clock;
    bool m_seen = false;
};
} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    QTabWidget tabs;
    for (const char *name : {"General", "Profiles", "CurrentStatistics", "About"}) {
        tabs.addTab(new QLabel(QString::fromLatin1(name)), QString::fromLatin1(name));
    }
    FirstPaint probe(clock);
    tabs.installEventFilter(&probe);
    tabs.show();
    return QApplication::exec();
}
