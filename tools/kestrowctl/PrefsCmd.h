// CPrefsCmd: "kestrowctl prefs", which shows or sets the preferences as the
// Preferences dialog does, and "kestrowctl reset-stats", the Statistics
// page's Reset.
#pragma once

#include <string>

namespace kestrowctl {

class CCtlArgs;
class CCtlSession;

class CPrefsCmd {
public:
    static std::string Prefs(CCtlSession &session, CCtlArgs &args);
    static std::string ResetStats(CCtlSession &session, CCtlArgs &args);
};

} // namespace kestrowctl
