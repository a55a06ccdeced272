// Draws Kestrow's own pictures: the program icon (resource 128, a USB
// wireless adapter with radio waves) and the tray icon (a radio-wave badge).
// Each size is laid out on its own pixel grid, so the small sizes stay crisp
// instead of being a blurred copy of the large one.
#pragma once

#include <QImage>

class CIconPainter {
public:
    // The program icon at size x size pixels, transparent background.
    static QImage ProgramIcon(int size);
    // The notification-area icon at size x size pixels.
    static QImage TrayIcon(int size);
};
