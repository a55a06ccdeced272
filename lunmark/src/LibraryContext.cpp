#include "LibraryContext.h"

namespace lunmark {

LibraryContext::LibraryContext() {
    // ---- Tracing tables -------------------------------------------------
    // Load the firmware message table ("zentil_ReportMessages.ini") and
    // then the module name table ("ZarurUdo.xml") here.  A missing file
    // leaves its table empty.
    // ---------------------------------------------------------------------
}

LibraryContext::~LibraryContext() = default;

LibraryContext &context() {
    // Destroyed when the library is unloaded; the channel's destructor
    // closes the adapter.
    static LibraryContext instance;
    return instance;
}

} // namespace lunmark
