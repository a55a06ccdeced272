// The W32N_* entry points.  None lets an exception escape.
#include "AdapterDirectory.h"
#include "Connection.h"
#include "HandleTable.h"

#include <lunmark100/lunmark100.h>

#include <cstring>
#include <string_view>
#include <vector>

using lunmark100::AdapterDirectory;
using lunmark100::Connection;
using lunmark100::HandleTable;

namespace {

// The enumeration in progress on this thread.
thread_local std::vector<w32n_adapter_record> t_enumeration;
thread_local std::size_t t_next = 0;

constexpr std::string_view kDevicePrefix = "\\Device\\";

// One request of either kind on the connection of `handle`.
template <typename Request>
int make_request(w32n_handle handle, Request *request, w32n_overlapped *overlapped) {
    if (request == nullptr)
        return W32N_ERR_ARGUMENT;
    w32n_overlapped local{};
    w32n_overlapped &completion = overlapped ? *overlapped : local;
    try {
        const auto connection = HandleTable::instance().find(handle);
        if (!connection) {
            request->bytes_written = 0;
            request->bytes_needed = 0;
            completion.status = W32N_ERR_HANDLE;
            completion.bytes_transferred = 0;
            completion.event = 1;
            return W32N_ERR_HANDLE;
        }
        return connection->request(*request, completion);
    } catch (...) {
        request->bytes_written = 0;
        return W32N_ERR_IO;
    }
}

} // namespace

extern "C" {

LUNMARK100_API int W32N_IsWindows95(void) { return 0; }

LUNMARK100_API int W32N_GetFirstAdapterRegistryInfo(w32n_adapter_record *record) {
    if (record == nullptr)
        return 1;
    try {
        t_enumeration = AdapterDirectory::scan();
    } catch (...) {
        t_enumeration.clear();
    }
    t_next = 0;
    std::memset(record, 0, sizeof *record);
    return t_enumeration.empty() ? 1 : 0;
}

LUNMARK100_API int W32N_GetNextAdapterRegistryInfo(w32n_adapter_record *record) {
    if (record == nullptr || t_next >= t_enumeration.size())
        return 1;
    *record = t_enumeration[t_next++];
    return t_next < t_enumeration.size() ? 0 : 1;
}

LUNMARK100_API w32n_handle W32N_OpenAdapterA(const char *device) {
    if (device == nullptr)
        return W32N_INVALID_HANDLE;
    try {
        std::string_view name(device);
        if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix)
            name.remove_prefix(kDevicePrefix.size());
        const std::string path = AdapterDirectory::socket_path(name);
        if (path.empty())
            return W32N_INVALID_HANDLE;
        auto connection = Connection::open(path, Connection::timeout_from_environment());
        if (!connection)
            return W32N_INVALID_HANDLE;
        return HandleTable::instance().add(std::move(connection));
    } catch (...) {
        return W32N_INVALID_HANDLE;
    }
}

LUNMARK100_API int W32N_CloseAdapter(w32n_handle handle) {
    if (handle == W32N_INVALID_HANDLE)
        return 1;
    try {
        const auto connection = HandleTable::instance().remove(handle);
        if (!connection)
            return 1;
        // A request still running on another thread fails at once; the
        // socket closes when that thread lets go of the connection.
        connection->drop();
        return 0;
    } catch (...) {
        return 1;
    }
}

LUNMARK100_API int W32N_MakeNdisRequest(w32n_handle handle, w32n_ndis_request *request,
                                        w32n_overlapped *overlapped, int wait) {
    (void)wait; // every request completes before the call returns
    return make_request(handle, request, overlapped);
}

LUNMARK100_API int W32N_MakeNdisRequestV(w32n_handle handle, w32n_ndis_request_v *request,
                                         w32n_overlapped *overlapped) {
    return make_request(handle, request, overlapped);
}

} // extern "C"
