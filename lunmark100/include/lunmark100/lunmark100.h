/*
 * lunmark100.h - the NDIS request library: finds the installed adapters and
 * carries NDIS query requests to their drivers.
 *
 * On Linux each installed adapter is a SOCK_SEQPACKET Unix socket in the
 * adapter directory ($LUNMARK_ADAPTER_DIR, else $XDG_RUNTIME_DIR/lunmark/
 * adapters, else /tmp/lunmark-<uid>/adapters), named after the adapter's
 * device name; a request travels as one message each way (see
 * lunmark_wire/socket_protocol.h).
 *
 * Every function is safe to call from several threads.  A request waits at
 * most LUNMARK_REQUEST_TIMEOUT_MS milliseconds (default 5000) for the
 * driver's answer; a dead, silent or misbehaving driver makes the request
 * fail, never hang.
 */
#ifndef LUNMARK100_LUNMARK100_H
#define LUNMARK100_LUNMARK100_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define LUNMARK100_API __attribute__((visibility("default")))
#else
#define LUNMARK100_API
#endif

/* Handle of an open adapter: a small non-negative integer naming one
 * connection; W32N_INVALID_HANDLE when no adapter is open. */
typedef int32_t w32n_handle;
#define W32N_INVALID_HANDLE (-1)

/* One enumerated adapter, 780 bytes.  Each field is NUL-terminated. */
#define W32N_TEXT_FIELD_SIZE 260u
typedef struct w32n_adapter_record {
    char description[W32N_TEXT_FIELD_SIZE]; /* from <name>.desc, else the name */
    char location[W32N_TEXT_FIELD_SIZE];    /* path of the adapter's socket */
    char device_name[W32N_TEXT_FIELD_SIZE]; /* opened as "\Device\" + this */
} w32n_adapter_record;

/* The NDIS_REQUEST block in its query-information form. */
#define W32N_REQUEST_QUERY_INFORMATION 0u
typedef struct w32n_ndis_request {
    uint8_t reserved[16];
    uint32_t request_type;  /* W32N_REQUEST_QUERY_INFORMATION */
    uint32_t oid;
    void *buffer;           /* sent to the driver; its answer replaces the start */
    uint32_t buffer_length;
    uint32_t bytes_written; /* set by the call: bytes of the driver's answer */
    uint32_t bytes_needed;  /* set by the call: as reported by the driver */
} w32n_ndis_request;

/* Completion block of a request.  A request always completes before
 * W32N_MakeNdisRequest returns; the block then holds its outcome. */
typedef struct w32n_overlapped {
    uint32_t status;            /* 0 or the W32N_ERR_* code of the last request */
    uint32_t driver_status;     /* NDIS status the driver answered */
    uint32_t bytes_transferred; /* bytes_written of the last request */
    uint32_t event;             /* set to 1 when a request completes; the
                                   caller resets it to 0 */
} w32n_overlapped;

/* Results of W32N_MakeNdisRequest other than 0.  Only W32N_ERR_HANDLE,
 * W32N_ERR_ARGUMENT and W32N_ERR_IO say that the request never reached the
 * driver.  After any other failure the driver may have carried it out (a
 * timeout, a lost connection or a malformed answer after it went out) or
 * has answered it (W32N_ERR_DRIVER), so sending it again could carry it out
 * twice. */
#define W32N_ERR_HANDLE 1   /* no open adapter has this handle */
#define W32N_ERR_ARGUMENT 2 /* null block, bad buffer or length too large */
#define W32N_ERR_IO 3       /* the connection was closed or broken before the
                               request went out; it was not sent */
#define W32N_ERR_TIMEOUT 4  /* the driver did not take or answer the request in
                               time; the connection is dropped */
#define W32N_ERR_PROTOCOL 5 /* malformed answer; the connection is dropped */
#define W32N_ERR_DRIVER 6   /* the driver answered a non-zero NDIS status */
#define W32N_ERR_LOST 7     /* the connection broke (or was closed) after the
                               request went out, before its answer came */

/* Non-zero on the Windows 95 family; always 0 here. */
LUNMARK100_API int W32N_IsWindows95(void);

/* Enumeration of the installed adapters, per calling thread, in byte-wise
 * ascending order of device name.  W32N_GetFirstAdapterRegistryInfo takes
 * a snapshot of the adapter directory and positions the enumeration before
 * the first adapter; it clears the record and returns 0 when there is at
 * least one adapter, non-zero when there is none.
 * W32N_GetNextAdapterRegistryInfo fills the record with the next adapter; it
 * returns 0 when more adapters follow, and non-zero when the record it just
 * filled is the last one (the record is then valid) or when no adapter was
 * left to deliver (the record is then untouched).  So a caller appends the
 * record after every call of W32N_GetNextAdapterRegistryInfo and stops after
 * the first non-zero result.  Null records are refused (non-zero). */
LUNMARK100_API int W32N_GetFirstAdapterRegistryInfo(w32n_adapter_record *record);
LUNMARK100_API int W32N_GetNextAdapterRegistryInfo(w32n_adapter_record *record);

/* Opens "\Device\<name>" (the prefix is optional): connects to the socket
 * <adapter dir>/<name>.  The handle, or W32N_INVALID_HANDLE on failure. */
LUNMARK100_API w32n_handle W32N_OpenAdapterA(const char *device);

/* Closes a handle; unknown handles, including W32N_INVALID_HANDLE, are
 * ignored.  Returns 0 when a connection was closed, non-zero otherwise. */
LUNMARK100_API int W32N_CloseAdapter(w32n_handle handle);

/* Sends one request and waits for the driver's answer (requests always
 * complete before the call returns, whatever `wait` says).  Sets bytes_written and
 * bytes_needed of the block (0 on failure), and copies the answer into the
 * start of the buffer; on failure the buffer is left as it was.  Answers
 * that carry another request's sequence number (late or repeated ones) are
 * dropped while the request waits for its own.  0 when the driver completed
 * the query, else a W32N_ERR_* code.  A timeout, lost connection or
 * malformed answer drops the connection: every later request on the handle
 * fails with W32N_ERR_IO. */
LUNMARK100_API int W32N_MakeNdisRequest(w32n_handle handle, w32n_ndis_request *request,
                                        w32n_overlapped *overlapped, int wait);

/* ---- Scattered buffers ----------------------------------------------------
 *
 * The same request with a buffer that lies in several places: the driver
 * gets the send segments one after the other as one buffer, and its answer
 * is received straight into the receive segments, so a caller whose buffer
 * is its own data with a few words around it copies nothing.  The message
 * on the socket is the same as W32N_MakeNdisRequest's. */

/* One piece of a buffer. */
typedef struct w32n_segment {
    void *base;
    uint32_t length;
} w32n_segment;

/* Most segments in either list of one request. */
#define W32N_MAX_SEGMENTS 8u

typedef struct w32n_ndis_request_v {
    uint32_t request_type;        /* W32N_REQUEST_QUERY_INFORMATION */
    uint32_t oid;
    const w32n_segment *send;     /* the buffer, in order; never written */
    uint32_t send_count;
    const w32n_segment *receive;  /* where the answer goes, in order */
    uint32_t receive_count;
    uint32_t bytes_written;       /* set by the call: bytes of the driver's answer */
    uint32_t bytes_needed;        /* set by the call: as reported by the driver */
    uint32_t receive_headroom;    /* bytes just before the first receive segment
                                     that the call may overwrite (0: none) */
} w32n_ndis_request_v;

/* Headroom that lets a request with one receive segment take each answer
 * whole, header and all, with one plain receive into that room and the
 * segment, instead of a scattered receive (which costs the kernel more per
 * call).  The room's bytes mean nothing afterwards. */
#define W32N_RECEIVE_HEADROOM 20u

/* Sends one request whose buffer is the send segments (their lengths add up
 * to the buffer length) and waits for the driver's answer, like
 * W32N_MakeNdisRequest: same results, same byte counts, same completion
 * block, same handling of other requests' answers and of the connection.
 *
 * W32N_ERR_ARGUMENT, nothing sent: a null request, more than
 * W32N_MAX_SEGMENTS segments in a list, a null list with a non-zero count,
 * a null base with a non-zero length, a buffer longer than the socket
 * protocol allows (65536 bytes), or receive segments that hold fewer bytes
 * in all than the buffer (an answer is never longer than the buffer).
 *
 * On success the first bytes_written bytes of the receive segments, taken
 * in order, are the driver's answer.  Every message is received straight
 * into the receive segments and checked there, so their other bytes, and
 * on failure any of their bytes, may have been overwritten by a message
 * that was then refused or dropped (another request's answer, a malformed
 * one, a refusal that carried bytes).  A caller that must keep its data
 * on failure receives into a buffer of its own and copies on success.
 * Receive segments may be the send segments or overlap them: the whole
 * buffer has gone out before anything is received. */
LUNMARK100_API int W32N_MakeNdisRequestV(w32n_handle handle, w32n_ndis_request_v *request,
                                         w32n_overlapped *overlapped);

#ifdef __cplusplus
}
#endif

#endif /* LUNMARK100_LUNMARK100_H */
