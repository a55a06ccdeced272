// CStatusCmd: "kestrowctl status", the General, Statistics and About pages'
// values in one view.
#pragma once

#include <string>

namespace kestrowctl {

class CCtlArgs;
class CCtlSession;

class CStatusCmd {
public:
    // Returns the output; throws CCtlError.
    static std::string Run(CCtlSession &session, CCtlArgs &args);
};

} // namespace kestrowctl
