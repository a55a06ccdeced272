// CProfileCmd: the profile commands: "profiles", "profile add|edit|rm|up|
// down|auto|noauto", "export", "export-all" and "import".  They translate
// their arguments into the core's profile operations (CProfileOps), the
// same the Profiles page uses, after validating them as the edit sheet
// does; reading commands use the core's listing of the read-only store.
#pragma once

#include <optional>
#include <string>

namespace kestrow {
class CProfile;
}

namespace kestrowctl {

class CCtlArgs;
class CCtlSession;
class CJsonWriter;

class CProfileCmd {
public:
    static std::string List(CCtlSession &session, CCtlArgs &args);
    // "profile SUBCOMMAND ...".
    static std::string Profile(CCtlSession &session, CCtlArgs &args);
    static std::string Export(CCtlSession &session, CCtlArgs &args, bool all);
    static std::string Import(CCtlSession &session, CCtlArgs &args);
};

// The JSON object of one profile.
void WriteProfileJson(CJsonWriter &w, const kestrow::CProfile &profile, bool connected);

// A WEP key as typed: 10 or 26 hexadecimal digits, "-" and ":" allowed
// between them.  The digits (upper case), or nothing when it is not a
// complete key.
std::optional<std::string> ParseWepKey(const std::string &text);

} // namespace kestrowctl
