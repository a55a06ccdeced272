// Writes Kestrow's icon files: kestrow-<size>.png (program icon) and
// kestrow-tray-<size>.png (tray icon), and kestrow-tray-<state>-<size>.png
// (the tray icon of each link state) into the folder given as argument.
// The PNGs in kestrow/resources/icons were made with this program.
#include "IconPainter.h"

#include <QDir>
#include <QGuiApplication>
#include <QString>

#include <cstdio>

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: kestrow-icongen OUTPUT_DIR\n", stderr);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "kestrow-icongen: cannot create %s\n", argv[1]);
        return 1;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString prog = out.filePath(QStringLiteral("kestrow-%1.png").arg(size));
        const QString tray = out.filePath(QStringLiteral("kestrow-tray-%1.png").arg(size));
        if (!CIconPainter::ProgramIcon(size).save(prog, "PNG") ||
            !CIconPainter::TrayIcon(size).save(tray, "PNG")) {
            std::fprintf(stderr, "kestrow-icongen: cannot write the %d px icons\n", size);
            return 1;
        }
    }
    // The tray's link states, in the sizes a notification area uses.
    using State = CIconPainter::TrayState;
    for (State state : {State::NotConnected, State::Poor, State::Fair, State::Good, State::Excellent,
                        State::NoAdapter}) {
        for (int size : {16, 22, 24, 32, 48, 64}) {
            const QString file =
                out.filePath(QStringLiteral("kestrow-%1-%2.png").arg(QLatin1String(CIconPainter::TrayStateStem(state))).arg(size));
            if (!CIconPainter::TrayStateIcon(size, state).save(file, "PNG")) {
                std::fprintf(stderr, "kestrow-icongen: cannot write %s\n", qPrintable(file));
                return 1;
            }
        }
    }
    return 0;
}
