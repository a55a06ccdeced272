// Exports of the trace poller.  Each runs under the library lock and lets no
// exception escape.  The ticks come from a timer thread of the library; each
// tick holds the library lock for its whole length, so callbacks run on
// that thread with the lock held and may call these exports again.
#include "LibraryContext.h"
#include "LibraryLock.h"

#include <lunmark/lunmark.h>
#include <lunmark_wire/command_frame.h>

#include <string>

#include "trace/TraceEngine.h"
#include "trace/TraceTimer.h"

using lunmark::context;
using lunmark::LibraryLock;
using lunmark::trace_engine;

namespace {

// The trace poller's view of the adapter channel.
class ContextLink : public lunmark::TraceLink {
public:
    explicit ContextLink(lunmark::LibraryContext& ctx) : ctx_(ctx) {}

    bool reconnect() override { return ecom_connect("SEARCH") == LUNMARK_OK; }
    void notify_connect() override
    {
        if (lunmark_notify_connect_cb cb = ctx_.connect_cb)
            cb();
    }
    void notify_disconnect(std::uint32_t reason) override
    {
        if (lunmark_notify_disconnect_cb cb = ctx_.disconnect_cb)
            cb(reason);
    }
    bool poll(void* block, std::uint32_t length, std::uint32_t* bytes_written) override
    {
        return ctx_.send_request(block, length, bytes_written, lunmark_wire::kOidPrivateTrace);
    }
    void close() override { ctx_.close(); }

private:
    lunmark::LibraryContext& ctx_;
};

void run_tick()
{
    try {
        ContextLink link(context());
        trace_engine().tick(link, lunmark::TraceEngine::Clock::now());
    } catch (...) {
        // Out of memory in a tick: skip it; the next one tries again.
    }
}

lunmark::TraceTimer& timer()
{
    // Destroyed at unload before the context (created later); the lock
    // itself is never destroyed.
    static lunmark::TraceTimer instance([](const std::function<void()>& body) {
        try {
            LibraryLock lock;
            body();
        } catch (...) {
            // The lock cannot be had (reported by the lock): skip the tick.
        }
    });
    return instance;
}

} // namespace

extern "C" {

LUNMARK_API int ecom_trace_start(uint32_t* output, uint32_t period_ms)
{
    return ecom_trace_start_ex(output, LUNMARK_TRACE_MAX_BLOCK_WORDS, period_ms);
}

LUNMARK_API int ecom_trace_start_ex(uint32_t* output, uint32_t capacity_words, uint32_t period_ms)
{
    try {
        LibraryLock lock{LibraryLock::ThreadsOnly{}};
        if (context().handle() != W32N_INVALID_HANDLE)
            trace_engine().note_adapter_open();
        // A start from a callback ends the delivery of the tick it runs in.
        trace_engine().end_delivery();
        trace_engine().set_output(output, capacity_words);
        timer().start(period_ms, run_tick);
    } catch (...) {
    }
    return LUNMARK_OK;
}

LUNMARK_API int ecom_trace_stop(void)
{
    try {
        LibraryLock lock{LibraryLock::ThreadsOnly{}};
        context();
        // From another thread the lock already keeps every tick out; from a
        // callback the running tick goes on, but delivers nothing more.
        trace_engine().end_delivery();
        timer().stop();
    } catch (...) {
    }
    return LUNMARK_OK;
}

LUNMARK_API int ecom_trace_set_fw_string_resource_table(const char* ini_file)
{
    try {
        LibraryLock lock{LibraryLock::ThreadsOnly{}};
        context();
        trace_engine().load_message_table(ini_file != nullptr ? ini_file : "");
    } catch (...) {
    }
    return LUNMARK_OK;
}

LUNMARK_API int ecom_trace_register_firmware_debug_cb(lunmark_fw_debug_cb cb)
{
    try {
        LibraryLock lock{LibraryLock::ThreadsOnly{}};
        context();
        trace_engine().set_firmware_debug_cb(cb);
    } catch (...) {
    }
    return LUNMARK_OK;
}

LUNMARK_API int ecom_trace_register_firmware_str_debug_cb(lunmark_fw_str_debug_cb cb)
{
    try {
        LibraryLock lock{LibraryLock::ThreadsOnly{}};
        context();
        trace_engine().set_firmware_str_debug_cb(cb);
    } catch (...) {
    }
    return LUNMARK_OK;
}

LUNMARK_API int ecom_trace_register_modem_1_cb(lunmark_modem_cb cb)
{
    try {
        LibraryLock lock{LibraryLock::ThreadsOnly{}};
        context();
        trace_engine().set_modem_1_cb(cb);
    } catch (...) {
    }
    return LUNMARK_OK;
}

LUNMARK_API int ecom_trace_register_modem_2_cb(lunmark_modem_cb cb)
{
    try {
        LibraryLock lock{LibraryLock::ThreadsOnly{}};
        context();
        trace_engine().set_modem_2_cb(cb);
    } catch (...) {
    }
    return LUNMARK_OK;
}

} // extern "C"
