// The application started as the program starts it, with `window` as its
// main window; the polling thread ticks only when `ticks` (otherwise a test
// wakes the window itself).  Going, it takes the window away before the
// window goes (declare it after the window), and shuts down.
#pragma once

#include <chrono>

#include "IMainWindow.h"
#include "KestrowApp.h"

namespace kestrow::test {

class CStartedApp {
public:
    explicit CStartedApp(IMainWindow &window, bool ticks = false)
    {
        if (!ticks)
            theApp().SetPollTiming(std::chrono::hours(1), std::chrono::milliseconds(1000));
        (void)theApp().Startup();
        theApp().SetMainWindow(&window);
    }
    ~CStartedApp()
    {
        theApp().SetMainWindow(nullptr);
        theApp().Shutdown();
    }
    CStartedApp(const CStartedApp &) = delete;
    CStartedApp &operator=(const CStartedApp &) = delete;
};

} // namespace kestrow::test
