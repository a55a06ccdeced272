#include "LibraryContext.h"

#include "trace/TraceEngine.h"

namespace lunmark {

LibraryContext::LibraryContext() {
    // The firmware message table, then the module name table; a missing
    // file leaves its table empty.
    TraceEngine &trace = trace_engine();
    trace.load_message_table(TraceEngine::kMessageFile);
    trace.load_module_table();
}

LibraryContext::~LibraryContext() = default;

LibraryContext &context() {
    // Destroyed when the library is unloaded; the channel's destructor
    // closes the adapter.
    static LibraryContext instance;
    return instance;
}

} // namespace lunmark
