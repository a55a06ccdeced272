// CRefreshRequest and CPageRefresh: what the window asks the main timer
// routine to read, and the plain values it gets back.  The routine runs
// where device work may run (the refresh worker); the window only renders
// the result on its own thread.
#pragma once

#include <optional>
#include <vector>

#include "AdapterState.h"
#include "LinkEvents.h"
#include "LinkHistory.h"
#include "StatusSnapshot.h"
#include "SurveyTable.h"

namespace kestrow {

struct CRefreshRequest {
    bool general = false;      // the General page is shown
    bool statistics = false;   // the Statistics page is shown
    bool about = false;        // read the About page now (its activation)
    bool aboutOnFull = false;  // read the About page on a full refresh only
    bool siteList = false;     // the Available Networks dialog is shown

    unsigned Bits() const
    {
        return (general ? 1u : 0u) | (statistics ? 2u : 0u) | (about ? 4u : 0u) |
               (aboutOnFull ? 8u : 0u) | (siteList ? 16u : 0u);
    }
    static CRefreshRequest FromBits(unsigned bits)
    {
        CRefreshRequest r;
        r.general = (bits & 1u) != 0;
        r.statistics = (bits & 2u) != 0;
        r.about = (bits & 4u) != 0;
        r.aboutOnFull = (bits & 8u) != 0;
        r.siteList = (bits & 16u) != 0;
        return r;
    }
};

struct CPageRefresh {
    // The station list was rebuilt from the scan (the Profiles page and,
    // when shown, the About page and the Available Networks list follow).
    bool full = false;
    bool generalRead = false;
    // The Statistics page's values changed (false also when they were not
    // read: connected, but the connected station is not known yet).
    bool statisticsRead = false;
    bool aboutRead = false;
    // Every value as of this refresh; the parts not read keep their last.
    CStatusSnapshot status;
    // The Available Networks rows, every station, when the list was shown
    // on a full refresh.
    std::optional<std::vector<CSurveyRow>> siteRows;
    AdapterState adapter = AdapterState::NotFound;
    // The link as the station list knows it (no request of its own): for
    // the tray icon and the notifications.
    CLinkState link;
    // The last ten minutes, when the Statistics page is shown.
    std::optional<std::vector<CLinkSample>> history;
    // The unit the preferences choose for the history's signal (dBm or %).
    bool historyDbm = false;
};

} // namespace kestrow
