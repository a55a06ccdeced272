// CScanCmd: "kestrowctl scan [--net]", the stations of a fresh scan as the
// Available Networks dialog lists them, in the access point view or the
// network view.
#pragma once

#include <string>

namespace kestrow {
class CStationMngr;
}

namespace kestrowctl {

class CCtlArgs;
class CCtlSession;

class CScanCmd {
public:
    static std::string Run(CCtlSession &session, CCtlArgs &args);

    // Starts a scan and waits (bounded by the session's timeout) until the
    // adapter reports no more results; then the station list holds every
    // station (access point view) or the strongest one of each network
    // (network view).  Throws a failure when the scan cannot be started or
    // read, or does not end in time.
    static kestrow::CStationMngr &Scan(CCtlSession &session, bool networkView);
};

} // namespace kestrowctl
