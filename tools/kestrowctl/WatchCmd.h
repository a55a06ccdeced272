// CWatchCmd: "kestrowctl watch [--json]", a line with the state it starts
// from, then one line per link event
// (connected, lost, adapter removed or found, scan finished, signal level)
// until interrupted.  It only reads, so it runs beside the window too.
#pragma once

#include <string>

namespace kestrowctl {

class CCtlArgs;
class CCtlSession;

class CWatchCmd {
public:
    // Prints the events as they come (flushed line by line) until SIGINT or
    // SIGTERM; returns what is left to print (nothing).
    static std::string Run(CCtlSession &session, CCtlArgs &args);
};

} // namespace kestrowctl
