#include "FakeW32n.h"

#include <lunmark_wire/command_frame.h>
#include <lunmark_wire/socket_protocol.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

namespace fake_w32n {

namespace wire = lunmark_wire;

namespace {

void default_responder(const std::string &, std::uint32_t oid, std::uint8_t *buffer,
                       std::uint32_t length) {
    if (oid == wire::kOidPrivateCommand && length >= wire::kFrameSize)
        wire::put_u32(buffer + wire::kFrameRecordOffset + 4, 2);
}

struct State {
    std::vector<Adapter> adapters;
    bool windows95 = false;
    Responder responder = default_responder;
    std::deque<Outcome> script;
    std::vector<Call> calls;
    int opens = 0;
    std::map<w32n_handle, std::string> handles;
    std::size_t enum_next = 0; // the running enumeration's next adapter
    int active = 0;
    int max_active = 0;
};

std::mutex g_mutex;
State g_state;
// Not part of the state that reset() renews, so that stale handles stay invalid.
w32n_handle g_next_handle = 100;

// The state, under the lock for as long as this lives.
class Locked {
public:
    State *operator->() { return &g_state; }
    State &operator*() { return g_state; }

private:
    std::lock_guard<std::mutex> guard_{g_mutex};
};

const Adapter *find_adapter(const State &s, const std::string &name) {
    const auto it = std::find_if(s.adapters.begin(), s.adapters.end(),
                                 [&](const Adapter &a) { return a.name == name; });
    return it == s.adapters.end() ? nullptr : &*it;
}

// One request on `handle` over `buffer`: the script's next outcome or the
// default, the responder on success, the call logged.
int answer(w32n_handle handle, std::uint32_t oid, std::uint8_t *buffer, std::uint32_t length,
           std::uint32_t &bytes_written) {
    Call call{{}, handle, oid, std::vector<std::uint8_t>(buffer, buffer + length)};
    Outcome outcome;
    Responder responder;
    {
        Locked s;
        s->max_active = std::max(s->max_active, ++s->active);
        if (auto it = s->handles.find(handle); it == s->handles.end()) {
            outcome.result = W32N_ERR_HANDLE;
        } else {
            call.device = it->second;
            const Adapter *a = find_adapter(*s, call.device);
            const bool probe = oid == wire::kOidPrivateCommand && length >= wire::kFrameSize &&
                               wire::get_u32(buffer + wire::kFrameRecordOffset) == 16;
            if (!s->script.empty()) {
                outcome = s->script.front();
                s->script.pop_front();
            } else if (a == nullptr || (probe && !a->answers_probe)) {
                outcome.result = W32N_ERR_DRIVER;
            }
        }
        responder = s->responder;
    }
    if (outcome.result == 0)
        responder(call.device, oid, buffer, length);
    bytes_written = outcome.result != 0 ? 0 : outcome.bytes_written.value_or(length);
    Locked s;
    s->calls.push_back(std::move(call));
    --s->active;
    return outcome.result;
}

} // namespace

void reset() { *Locked() = State{}; }
void set_adapters(std::vector<Adapter> adapters) { Locked()->adapters = std::move(adapters); }
void set_windows95(bool on) { Locked()->windows95 = on; }
void set_responder(Responder responder) {
    Locked()->responder = responder ? std::move(responder) : Responder(default_responder);
}
void script(std::vector<Outcome> outcomes) { Locked()->script.assign(outcomes.begin(), outcomes.end()); }
void clear_calls() { Locked()->calls.clear(); }
std::vector<Call> requests() { return Locked()->calls; }
int opens() { return Locked()->opens; }
int open_handles() { return static_cast<int>(Locked()->handles.size()); }
int max_concurrent_requests() { return Locked()->max_active; }

} // namespace fake_w32n

using namespace fake_w32n;

extern "C" {

int W32N_IsWindows95(void) { return Locked()->windows95 ? 1 : 0; }

// Same contract as the real library: First positions before the first
// adapter; Next delivers one and says non-zero with the last one.
int W32N_GetFirstAdapterRegistryInfo(w32n_adapter_record *record) {
    Locked s;
    s->enum_next = 0;
    std::memset(record, 0, sizeof *record);
    return s->adapters.empty() ? 1 : 0;
}

int W32N_GetNextAdapterRegistryInfo(w32n_adapter_record *record) {
    Locked s;
    if (s->enum_next >= s->adapters.size())
        return 1;
    const Adapter &a = s->adapters[s->enum_next++];
    std::memset(record, 0, sizeof *record);
    std::strncpy(record->device_name, a.name.c_str(), sizeof record->device_name - 1);
    return s->enum_next < s->adapters.size() ? 0 : 1;
}

w32n_handle W32N_OpenAdapterA(const char *device) {
    Locked s;
    const std::string text = device ? device : "", prefix = s->windows95 ? "" : "\\Device\\";
    const Adapter *a = text.starts_with(prefix) ? find_adapter(*s, text.substr(prefix.size())) : nullptr;
    w32n_handle h = W32N_INVALID_HANDLE;
    if (a && a->can_open) {
        h = g_next_handle++;
        s->handles[h] = a->name;
    }
    ++s->opens;
    return h;
}

int W32N_CloseAdapter(w32n_handle handle) {
    return Locked()->handles.erase(handle) == 1 ? 0 : 1;
}

int W32N_MakeNdisRequest(w32n_handle handle, w32n_ndis_request *request, w32n_overlapped *, int) {
    request->bytes_needed = 0;
    return answer(handle, request->oid, static_cast<std::uint8_t *>(request->buffer),
                  request->buffer_length, request->bytes_written);
}

// The buffer is gathered from the send segments, answered like a plain
// request, and the answer scattered over the receive segments.  Their other
// bytes, and all of them after a failure, are overwritten with 0xEE: the
// real library may leave a refused message there, and callers must not
// count on what they held.  So are the bytes of a receive headroom, where
// the real library puts each message's header.
int W32N_MakeNdisRequestV(w32n_handle handle, w32n_ndis_request_v *request, w32n_overlapped *) {
    std::vector<std::uint8_t> buffer;
    for (std::uint32_t i = 0; i < request->send_count; ++i) {
        const auto *base = static_cast<const std::uint8_t *>(request->send[i].base);
        buffer.insert(buffer.end(), base, base + request->send[i].length);
    }
    request->bytes_needed = 0;
    const int result = answer(handle, request->oid, buffer.data(),
                              static_cast<std::uint32_t>(buffer.size()), request->bytes_written);
    if (request->receive_count > 0)
        std::memset(static_cast<std::uint8_t *>(request->receive[0].base) -
                        request->receive_headroom,
                    0xEE, request->receive_headroom);
    std::size_t from = 0;
    const std::size_t written = std::min<std::size_t>(request->bytes_written, buffer.size());
    for (std::uint32_t i = 0; i < request->receive_count; ++i) {
        auto *base = static_cast<std::uint8_t *>(request->receive[i].base);
        const std::size_t length = request->receive[i].length;
        const std::size_t take = from < written ? std::min(length, written - from) : 0;
        std::memcpy(base, buffer.data() + from, take);
        std::memset(base + take, 0xEE, length - take);
        from += take;
    }
    return result;
}

} // extern "C"
