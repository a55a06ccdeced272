// CEditContext: the two program-wide values that tell the profile edit
// sheets which record they edit and in which mode.  Whoever opens a sheet
// sets the edit-profile name first; the General page follows a rename.
// "EditStation" names the site survey's edit-station record.  Used from the
// user-interface thread only.
#pragma once

#include <string>

namespace kestrow {

class CEditContext {
public:
    // Name under which the sheet's pages look their record up (Get of the
    // profile store).
    static const std::string &GetProfileName();
    static void SetProfileName(const std::string &name);

    // True while a sheet captioned "Edit Connection Parameters" is in use:
    // only power save and the security settings may then be changed.
    static bool IsEditConnection();
    static void SetEditConnection(bool editConnection);
};

} // namespace kestrow
