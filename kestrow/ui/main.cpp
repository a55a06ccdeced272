// kestrow: the configuration utility of the USB 802.11a/b/g wireless adapter.
//
// Start-up connects to the adapter, stops the system's own wireless
// configuration service, starts the polling thread, loads the profiles and
// the station list, on a worker of the core while this thread builds the
// main window; the window shows once the values of its first page have
// arrived (or after kFirstValuesWaitMs, when the adapter does not answer),
// runs until it is closed, and the program shuts down in order.  One copy runs per user and registry: a second start brings the
// running copy's window back and ends.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaObject>
#include <QString>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AppIdentity.h"
#include "FirstPaintProbe.h"
#include "KestrowApp.h"
#include "KestrowSession.h"
#include "KestrowDlg.h"
#include "MessageSink.h"
#include "QtMessageSink.h"
#include "RefreshWake.h"
#include "Screenshots.h"
#include "SingleInstance.h"
#include "platform/Registry.h"

using namespace kestrow;

namespace {

const char kUsage[] =
    "Usage: kestrow [OPTION]...\n"
    "Watch and configure the USB 802.11a/b/g wireless adapter.\n"
    "\n"
    "  --screenshots DIR   start normally, wait for the first full refresh (not\n"
    "                      without an adapter; at most 10 seconds), write a PNG\n"
    "                      of each page and of the Available Networks dialog\n"
    "                      into DIR, and exit\n"
    "  --registry FILE     keep the settings in FILE instead of $KESTROW_REGISTRY\n"
    "                      or ~/.config/kestrow/registry.sqlite3\n"
    "  --adapter-dir DIR   look for adapters in DIR instead of $LUNMARK_ADAPTER_DIR\n"
    "                      or the per-user runtime directory\n"
    "  --minimized         start in the notification area (as the desktop's\n"
    "                      autostart entry does); without one, minimised\n"
    "  --exit-after-first-paint\n"
    "                      (benchmarks) print the time from start to the first\n"
    "                      painted main window and the peak memory, and exit\n"
    "  --help              show this help and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "Qt's own options (-platform NAME, -display DISPLAY, ...) are accepted too.\n";

struct Options {
    QString screenshots;
    std::string registry;
    std::string adapterDir;
    bool help = false;
    bool firstPaint = false;
    bool minimized = false;
    bool version = false;
    std::string error;
};

// Takes our own options out of argv; Qt's are left for QApplication.
Options ParseOptions(int &argc, char **argv)
{
    Options o;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        auto value = [&](const char *name) -> const char * {
            const std::size_t n = std::strlen(name);
            if (std::strncmp(arg, name, n) == 0 && arg[n] == '=') {
                return arg + n + 1;
            }
            if (std::strcmp(arg, name) == 0) {
                if (i + 1 >= argc) {
                    o.error = std::string(name) + " needs a value";
                    return nullptr;
                }
                return argv[++i];
            }
            return nullptr;
        };
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            o.help = true;
        } else if (std::strcmp(arg, "--exit-after-first-paint") == 0) {
            o.firstPaint = true;
        } else if (std::strcmp(arg, "--minimized") == 0) {
            o.minimized = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            o.version = true;
        } else if (const char *v = value("--screenshots")) {
            o.screenshots = QString::fromLocal8Bit(v);
        } else if (const char *v2 = value("--registry")) {
            o.registry = v2;
        } else if (const char *v3 = value("--adapter-dir")) {
            o.adapterDir = v3;
        } else if (!o.error.empty()) {
            break;
        } else {
            argv[out++] = argv[i];
        }
    }
    argc = out;
    argv[argc] = nullptr;
    return o;
}

// How long the window waits for its first page's values before it shows
// without them.
constexpr int kFirstValuesWaitMs = 3000;

// Under --screenshots nobody is there to close a message box: its text goes
// to stderr and it counts as answered with OK.
class CStderrSink : public IMessageSink {
public:
    int ShowMessageBox(const std::string &text, unsigned /*type*/) override
    {
        std::fprintf(stderr, "kestrow: %s\n", text.c_str());
        return IDOK;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer clock;
    clock.start();
    Options opt = ParseOptions(argc, argv);
    if (!opt.error.empty()) {
        std::fprintf(stderr, "kestrow: %s\nTry 'kestrow --help'.\n", opt.error.c_str());
        return 2;
    }
    if (opt.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (opt.version) {
        std::printf("kestrow %s\n", KESTROW_VERSION);
        return 0;
    }
    if (!opt.adapterDir.empty() && ::setenv("LUNMARK_ADAPTER_DIR", opt.adapterDir.c_str(), 1) != 0) {
        std::perror("kestrow: LUNMARK_ADAPTER_DIR");
        return 1;
    }

    QApplication qapp(argc, argv);
    SetApplicationIdentity();
    QApplication::setApplicationVersion(QStringLiteral(KESTROW_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    for (int i = 1; i < argc; ++i) {
        std::fprintf(stderr, "kestrow: unknown argument '%s'\nTry 'kestrow --help'.\n", argv[i]);
        return 2;
    }

    const std::string registry = opt.registry.empty() ? platform::Registry::default_path() : opt.registry;
    if (!opt.registry.empty()) {
        (void)platform::Registry::set_current_user_path(opt.registry);
    }
    // A registry that cannot be opened is reported once, below; the program
    // then runs without profiles.
    const auto registryFailure = platform::Registry::current_user_failure();

    // One copy per user and registry.
    CSingleInstance guard(CSingleInstance::DefaultSocketPath(QString::fromStdString(registry)));
    switch (guard.TryClaim()) {
    case CSingleInstance::Claim::Secondary:
        if (!guard.AskPrimaryToRestore()) {
            std::fputs("kestrow: another copy is running but did not answer\n", stderr);
            return 1;
        }
        return 0;
    case CSingleInstance::Claim::Failed:
        std::fprintf(stderr, "kestrow: cannot set up %s; running without the single-copy check\n",
                     qPrintable(guard.SocketPath()));
        break;
    case CSingleInstance::Claim::Primary:
        break;
    }

    CQtMessageSink messages;
    CStderrSink unattended;
    if (!opt.screenshots.isEmpty()) {
        (void)SetMessageSink(&unattended);
    }
    CKestrowApp &app = theApp();
    CRefreshWake wake(app);
    auto session = std::make_unique<CKestrowSession>(app, CKestrowSession::Kind::Window);
    // The window opens on the General page: its values are read right after
    // start-up, while the window is being built.
    app.RequestFirstRefresh(CRefreshRequest{.general = true});

    int result = 0;
    {
        CKestrowDlg dlg(QString::fromLatin1(CKestrowApp::kAppName));
        messages.SetOwner(&dlg);
        app.SetMainWindow(&dlg);
        QObject::connect(&guard, &CSingleInstance::RestoreRequested, &dlg, &CKestrowDlg::RestoreFromTray);
        QObject::connect(&dlg, &QDialog::finished, &qapp, [] { QApplication::quit(); });
        // The window shows below once its first values are in.
        dlg.OnInitDialog(/*shownSoon*/ true);
        if (registryFailure) {
            // Nothing of the Profiles page could be kept (its slot: the
            // page itself is built later).
            dlg.Sheet()->widget(CKestrowDlg::PAGE_PROFILES)->setEnabled(false);
            const QString text = QStringLiteral("The registry %1 cannot be opened: %2.\n\n"
                                                "Profiles cannot be used until it can be opened.")
                                     .arg(QString::fromStdString(registryFailure->path),
                                          QString::fromStdString(registryFailure->reason));
            if (opt.screenshots.isEmpty()) {
                QMetaObject::invokeMethod(&dlg, [text] { ShowMessageText(text, MB_OK | MB_ICONERROR); },
                                          Qt::QueuedConnection);
            } else {
                std::fprintf(stderr, "kestrow: %s\n", qPrintable(text.section(QLatin1Char('\n'), 0, 0)));
            }
        }

        CScreenshots shots(dlg, opt.screenshots);
        if (!opt.screenshots.isEmpty()) {
            QObject::connect(&shots, &CScreenshots::Finished, &dlg, [&](bool ok) {
                for (const QString &file : shots.Written()) {
                    std::printf("%s\n", qPrintable(file));
                }
                std::fflush(stdout);
                result = ok ? 0 : 1;
                dlg.reject();
            });
        }
        CFirstPaintProbe probe(clock);
        if (opt.firstPaint) {
            dlg.installEventFilter(&probe);
        }
        // The first picture is the right one: the window shows when the
        // values of its page are in, never blocking this thread meanwhile.
        bool shown = false;
        const auto showWindow = [&] {
            if (shown) {
                return;
            }
            shown = true;
            if (!opt.screenshots.isEmpty() && !shots.Start()) {
                std::fprintf(stderr, "kestrow: cannot create %s\n", qPrintable(opt.screenshots));
                result = 1;
                QApplication::quit();
                return;
            }
            if (opt.minimized && opt.screenshots.isEmpty()) {
                dlg.showMinimized();  // minimising goes to the tray
            } else {
                dlg.show();
            }
        };
        QObject::connect(&dlg, &CKestrowDlg::PageValuesShown, &dlg, showWindow);
        QTimer::singleShot(kFirstValuesWaitMs, &dlg, showWindow);
        QApplication::exec();
        app.SetMainWindow(nullptr);
        messages.SetOwner(nullptr);
    }
    session.reset();  // shutdown may still show messages: before the sinks go
    if (!opt.screenshots.isEmpty()) {
        (void)SetMessageSink(&messages);  // `unattended` goes first
    }
    return result;
}
