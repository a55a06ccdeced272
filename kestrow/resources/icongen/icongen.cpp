// Writes Kestrow's icon files: kestrow-<size>.png (program icon) and
// kestrow-tray-<size>.png (tray icon) into the folder given as argument.
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
    return 0;
}
