// CConnectCmd: "kestrowctl connect PROFILE", as the Profiles page's Connect,
// and "kestrowctl join SSID", as the site survey's Connect, which also
// records the network as an auto-selection profile.
#pragma once

#include <string>

namespace kestrowctl {

class CCtlArgs;
class CCtlSession;

class CConnectCmd {
public:
    static std::string Connect(CCtlSession &session, CCtlArgs &args);
    static std::string Join(CCtlSession &session, CCtlArgs &args);
};

} // namespace kestrowctl
