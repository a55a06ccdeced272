// AdapterState: whether the window has an adapter to talk to.  The General
// and About pages and the Available Networks dialog show the text of a state
// beside their own values ("Not Connected" stays what it is); commands that
// need the adapter refuse with kNoAdapterMessage instead of doing nothing.
#pragma once

namespace kestrow {

enum class AdapterState {
    Present,   // an adapter is open and answers
    NotFound,  // none was found at start-up or since
    Removed,   // the open adapter went away
    Returned,  // an adapter is open again after it was gone
};

// The line shown for a state; empty for Present.
constexpr const char *AdapterStateText(AdapterState state)
{
    switch (state) {
    case AdapterState::NotFound: return "No wireless adapter found";
    case AdapterState::Removed: return "The wireless adapter was removed";
    case AdapterState::Returned: return "The wireless adapter is back";
    case AdapterState::Present: break;
    }
    return "";
}

// What a command that needs the adapter says when there is none.
inline constexpr const char *kNoAdapterMessage =
    "No wireless adapter is found, so this cannot be done now.\n\n"
    "Plug the adapter in and try again.";

} // namespace kestrow
