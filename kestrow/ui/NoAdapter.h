// RefuseWithoutAdapter: the check of the commands that need the adapter.
// Without one (none found, or the open one removed) they say so through the
// message sink instead of doing nothing.
#pragma once

#include "AdapterState.h"
#include "KestrowApp.h"
#include "MessageSink.h"

namespace kestrow {

// True, once kNoAdapterMessage is shown, when there is no adapter.
inline bool RefuseWithoutAdapter()
{
    const AdapterState state = theApp().AdapterState();
    if (state != AdapterState::NotFound && state != AdapterState::Removed) {
        return false;
    }
    ShowMessageText(kNoAdapterMessage, MB_OK | MB_ICONWARNING);
    return true;
}

} // namespace kestrow
