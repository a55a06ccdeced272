// What the application object needs of the main window.  The user interface
// implements it and hands it to CKestrowApp::SetMainWindow.
//
// Threads: VisibleParts and UpdatePages are called on the user-interface
// thread.  ShowRefresh and SetTrayTip are called on the thread that did the
// device work (the refresh worker, the polling thread), or by SetMainWindow
// with what came before the window was set: an implementation must move
// the values to its own thread (a queued call into its event loop) and
// never touch a widget there.  Neither waits for anything.
#pragma once

#include <string>

#include "PageRefresh.h"

namespace kestrow {

class IMainWindow {
public:
    virtual ~IMainWindow() = default;

    // What the window shows now, for the main timer routine to read.
    // User-interface thread.
    virtual CRefreshRequest VisibleParts() const = 0;
    // Asks for fresh values of the visible pages; with `full` also the
    // Profiles page and, when it is the active page, the About page.
    // Returns at once.  User-interface thread.
    virtual void UpdatePages(bool full) = 0;
    // The values of one main timer routine.  REFRESH WORKER THREAD.
    virtual void ShowRefresh(CPageRefresh refresh) = 0;
    // Sets the tray icon's tooltip.  POLLING THREAD.
    virtual void SetTrayTip(const std::string &text) = 0;
    // The user asked this program to connect to the network `ssid` (a
    // connect or join is under way): the window shows that itself, so its
    // notifications stay quiet about it.  DEVICE WORKER THREAD.
    virtual void NoteUserConnect(const std::string &ssid) { (void)ssid; }
};

} // namespace kestrow
