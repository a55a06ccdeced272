// CEditTarget: which record a profile edit sheet and its pages edit, and
// how.  The sheet owns it and hands it to its pages (and to the advanced
// sheet the General page opens), so they all follow a rename the General
// page makes.
#pragma once

#include <string>

namespace kestrow {

struct CEditTarget {
    // Name under which the pages look their record up (Get of the profile
    // store): a profile name, or "EditStation" for the site survey's
    // edit-station record.  The General page updates it when it renames.
    std::string profileName;
    // The sheet is "Edit Connection Parameters": only power save and the
    // security settings may be changed.
    bool editConnection = false;
};

} // namespace kestrow
