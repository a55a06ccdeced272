// The library's single context: the adapter channel plus the state the
// exports share.
#pragma once

#include "AdapterChannel.h"

#include <lunmark/lunmark.h>

namespace lunmark {

class LibraryContext : public AdapterChannel {
public:
    LibraryContext();
    ~LibraryContext() override;

    // Notification callbacks, raised by the trace poller; null when off.
    lunmark_notify_connect_cb connect_cb = nullptr;
    lunmark_notify_disconnect_cb disconnect_cb = nullptr;
};

// The process's context, created on the first call.  Call with the library
// lock held; the reference stays valid until the library is unloaded.
LibraryContext &context();

} // namespace lunmark
