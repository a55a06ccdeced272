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

    // The notification-area icon of a link state: the badge grey when not
    // connected, blue with one to four lit waves by signal level when
    // connected, grey and crossed out red when there is no adapter.
    enum class TrayState { NotConnected, Poor, Fair, Good, Excellent, NoAdapter };
    static QImage TrayStateIcon(int size, TrayState state);
    // The file stem of a state's icons: "tray-excellent" and so on.
    static const char *TrayStateStem(TrayState state);
};
