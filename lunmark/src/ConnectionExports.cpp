// Exports for the connection and the command requests.  Each runs under the
// library lock and lets no exception escape.
#include "LibraryContext.h"
#include "LibraryLock.h"

#include <lunmark/lunmark.h>

#include <cstring>
#include <string>

using lunmark::context;
using lunmark::LibraryLock;

namespace {

// Holds the last device name returned by ecom_get_connection.
char g_connection_name[2048];

} // namespace

extern "C" {

LUNMARK_API const char *ecom_get_connection(uint32_t index) {
    try {
        LibraryLock lock{LibraryLock::LookUpAdapters{}};
        lunmark::LibraryContext &ctx = context();
        ctx.enumerate();
        const auto &adapters = ctx.adapters();
        if (index >= adapters.size())
            return nullptr;
        const w32n_adapter_record &r = adapters[index];
        const std::size_t n = ::strnlen(r.device_name, sizeof r.device_name);
        std::memcpy(g_connection_name, r.device_name, n);
        g_connection_name[n] = '\0';
        return g_connection_name;
    } catch (...) {
        return nullptr;
    }
}

LUNMARK_API int ecom_connect(const char *name) {
    try {
        LibraryLock lock{LibraryLock::LookUpAdapters{}};
        lunmark::LibraryContext &ctx = context();
        // Only the exact word searches; a null text is taken as empty.
        std::string target = name ? name : "";
        if (target == "SEARCH")
            target.clear();
        return ctx.open(target) ? LUNMARK_OK : LUNMARK_ERR_CONNECT;
    } catch (...) {
        return LUNMARK_ERR_CONNECT;
    }
}

LUNMARK_API int ecom_disconnect(void) {
    try {
        // Held so that the close never overlaps a request of another thread;
        // closing sends nothing to the driver, so other processes need not wait.
        LibraryLock lock{LibraryLock::ThreadsOnly{}};
        context().close();
    } catch (...) {
    }
    return LUNMARK_OK;
}

LUNMARK_API int ecom_exec_oid(void *record) {
    if (record == nullptr)
        return LUNMARK_ERR_REQUEST;
    try {
        LibraryLock lock;
        return context().exec_command(record, lunmark::AdapterChannel::kCommandMagic)
                   ? LUNMARK_OK
                   : LUNMARK_ERR_REQUEST;
    } catch (...) {
        return LUNMARK_ERR_REQUEST;
    }
}

LUNMARK_API int ecom_exec_ndis_oid(void *record) { return ecom_exec_oid(record); }

LUNMARK_API int ecom_register_notify_connect_cb(lunmark_notify_connect_cb cb) {
    try {
        LibraryLock lock{LibraryLock::ThreadsOnly{}};
        context().connect_cb = cb;
    } catch (...) {
    }
    return LUNMARK_OK;
}

LUNMARK_API int ecom_register_notify_disconnect_cb(lunmark_notify_disconnect_cb cb) {
    try {
        LibraryLock lock{LibraryLock::ThreadsOnly{}};
        context().disconnect_cb = cb;
    } catch (...) {
    }
    return LUNMARK_OK;
}

} // extern "C"
