// A scripted stand-in for the NDIS request library: the W32N_* functions
// over a table of pretend adapters, with a log of every call.  The lunmark
// unit tests link it instead of liblunmark100.
#pragma once

#include <lunmark100/lunmark100.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fake_w32n {

struct Adapter {
    std::string name;
    bool can_open = true;      // W32N_OpenAdapterA succeeds
    bool answers_probe = true; // a command frame with code 16 succeeds
};

// A request as the driver saw it.
struct Call {
    std::string device; // the adapter's name; empty on a handle not open
    w32n_handle handle = W32N_INVALID_HANDLE;
    std::uint32_t oid = 0;
    std::vector<std::uint8_t> bytes; // the buffer as sent (a scattered one gathered)
};

// What the next scripted request does instead of the default answer.
struct Outcome {
    int result = 0;                             // non-zero: the call fails
    std::optional<std::uint32_t> bytes_written; // default: the whole buffer
};

// Driver behaviour for a request that succeeds: may rewrite the buffer.
using Responder = std::function<void(const std::string &adapter, std::uint32_t oid,
                                     std::uint8_t *buffer, std::uint32_t length)>;

// No adapters, not the Windows 95 family, the default responder (which
// sets the completion status word of a command frame's record to 2), no
// script, empty log.  Handles are not reset, so stale ones stay invalid.
void reset();
void set_adapters(std::vector<Adapter> adapters);
void set_windows95(bool on);
void set_responder(Responder responder);
// Outcomes for the next requests, in order; afterwards the default.
void script(std::vector<Outcome> outcomes);

// The requests since the last clear_calls(), and the W32N_OpenAdapterA
// calls since reset().
std::vector<Call> requests();
int opens();
void clear_calls();
// Handles open right now.
int open_handles();
// Highest number of requests that were ever in progress at once.
int max_concurrent_requests();

} // namespace fake_w32n
