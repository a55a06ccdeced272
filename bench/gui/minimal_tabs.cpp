// The yardstick of the GUI benchmark: the smallest Qt 6 program that shows a
// QTabWidget with four tabs.  Prints "first-paint-ms N peak-rss-kb N" after
// its first paint, as "kestrow --exit-after-first-paint" does, and exits.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTabWidget>

#include "FirstPaintProbe.h"

int main(int argc, char **argv)
{
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    QTabWidget tabs;
    for (const char *name : {"General", "Profiles", "CurrentStatistics", "About"}) {
        tabs.addTab(new QLabel(QString::fromLatin1(name)), QString::fromLatin1(name));
    }
    CFirstPaintProbe probe(clock);
    tabs.installEventFilter(&probe);
    tabs.show();
    return QApplication::exec();
}
