// What the application object needs of the main window.  The user interface
// implements it and hands it to CKestrowApp::SetMainWindow.
#pragma once

#include <string>

namespace kestrow {

class IMainWindow {
public:
    virtual ~IMainWindow() = default;

    // Refreshes the visible pages; with `full` also the Profiles page and,
    // when it is the active page, the About page.  User-interface thread.
    virtual void UpdatePages(bool full) = 0;
    // Whether the Available Networks dialog is shown.  User-interface thread.
    virtual bool IsSiteListVisible() const = 0;
    // Refreshes the Available Networks dialog's list.  User-interface thread.
    virtual void RefreshSiteList() = 0;
    // Sets the tray icon's tooltip.  Called from the POLLING THREAD: an
    // implementation must copy the text and hand it to its own thread (for
    // example a queued call into its event loop), never touch a widget here.
    virtual void SetTrayTip(const std::string &text) = 0;
};

} // namespace kestrow
