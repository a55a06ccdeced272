// CAutostart: starting Kestrow with the desktop session, through the
// freedesktop autostart folder: $XDG_CONFIG_HOME/autostart/kestrow.desktop
// (~/.config when XDG_CONFIG_HOME is unset or not absolute).  The entry
// starts the program minimised to the tray.
#pragma once

#include <string>

#include "OpResult.h"

namespace kestrow {

class CAutostart {
public:
    // The entry's path.
    static std::string EntryPath();
    // Whether the entry is there.
    static bool Enabled();
    // Writes the entry (atomically: a reader never sees half of it) to run
    // `program` with --minimized, or removes it.  Failure: the reason, and
    // the entry as it was.
    static COpResult SetEnabled(bool enabled, const std::string &program);
    // The entry's text for `program`, quoted as desktop entries require.
    static std::string EntryText(const std::string &program);
};

} // namespace kestrow
