// The event-loop part of the GUI benchmark: runs Kestrow's real main window
// and core in this process (adapter and registry from the environment, as
// bench_gui sets them up) for a number of seconds, switching pages every
// 400 ms as a user clicking through would, and measures how late the GUI
// thread's event loop is: a precise 10 ms timer notes how much later than
// due each of its ticks comes, and each page switch notes how long it took.
// Prints "lateness-ms p50 N p99 N max N switch-max-ms N refreshes N".
// Usage: bench_gui_latency SECONDS
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "KestrowApp.h"
#include "KestrowDlg.h"
#include "KestrowSession.h"
#include "RefreshWake.h"

using namespace kestrow;

namespace {

double Percentile(std::vector<double> v, double p)
{
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1));
    return v[at];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    CKestrowApp &app = theApp();
    // The first tick after one second instead of five: the measurement
    // should see the polling thread's refreshes, not wait for them.
    app.SetPollTiming(std::chrono::milliseconds(1000), std::chrono::milliseconds(1000));
    CRefreshWake wake(app);
    CKestrowSession session(app, CKestrowSession::Kind::Window);
    std::vector<double> lateness;
    std::vector<double> switches;
    {
        CKestrowDlg dlg(QString::fromLatin1(CKestrowApp::kAppName));
        app.SetMainWindow(&dlg);
        dlg.OnInitDialog();
        dlg.show();

        constexpr int kTickMs = 10;
        QElapsedTimer clock;
        clock.start();
        qint64 due = kTickMs;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(kTickMs);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            lateness.push_back(static_cast<double>(std::max<qint64>(0, now - due)));
            due = now + kTickMs;
        });
        tick.start();

        QTimer pages;
        pages.setInterval(400);
        QObject::connect(&pages, &QTimer::timeout, [&] {
            QElapsedTimer took;
            took.start();
            dlg.SetActivePage((dlg.ActivePage() + 1) % 4);
            switches.push_back(static_cast<double>(took.nsecsElapsed()) / 1e6);
        });
        pages.start();

        QTimer::singleShot(seconds * 1000, &qapp, [] { QApplication::quit(); });
        QApplication::exec();
        std::printf("lateness-ms p50 %.1f p99 %.1f max %.1f switch-max-ms %.1f refreshes %d\n",
                    Percentile(lateness, 0.5), Percentile(lateness, 0.99), Percentile(lateness, 1.0),
                    Percentile(switches, 1.0), dlg.RefreshCount());
        std::fflush(stdout);
        app.SetMainWindow(nullptr);
    }
    return 0;
}
