#include "DeviceOps.h"

#include <atomic>

#include "RequestRecord.h"

#if defined(KESTROW_HAVE_LUNMARK)
#include <lunmark/lunmark.h>
static_assert(LUNMARK_RECORD_SIZE == kestrow::kRecordSize, "request_record size differs from the library's");
static_assert(LUNMARK_RECORD_DATA_OFFSET == kestrow::kRecordDataOffset, "command data offset differs");
static_assert(LUNMARK_STATUS_DONE == kestrow::kStatusDone, "completion status differs");
#endif

namespace kestrow {

namespace {

#if defined(KESTROW_HAVE_LUNMARK)
constexpr DeviceOps kLibraryOps{&ecom_connect, &ecom_disconnect, &ecom_exec_oid};
#else
int NoLibraryConnect(const char *) { return 50; }
int NoLibraryDisconnect() { return 0; }
int NoLibraryExec(void *) { return 21; }
constexpr DeviceOps kLibraryOps{&NoLibraryConnect, &NoLibraryDisconnect, &NoLibraryExec};
#endif

std::atomic<const DeviceOps *> g_ops{&kLibraryOps};

} // namespace

const DeviceOps &DefaultDeviceOps()
{
    return kLibraryOps;
}

const DeviceOps &CurrentDeviceOps()
{
    return *g_ops.load(std::memory_order_acquire);
}

const DeviceOps *InstallDeviceOps(const DeviceOps *ops)
{
    return g_ops.exchange(ops ? ops : &kLibraryOps, std::memory_order_acq_rel);
}

} // namespace kestrow
