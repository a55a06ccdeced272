// The channel to the adapter's driver: finds and opens an adapter through
// the NDIS request library and carries requests and command records to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <lunmark100/lunmark100.h>

namespace lunmark {

// Opens one adapter at a time and sends NDIS queries to it.  A failed query
// closes the adapter.  When it provably never reached the driver (closed
// handle, connection already broken) the adapter is reopened by the kept
// device name (or searched for when the name is empty) and the query is
// tried once more; a query that may have been carried out (timeout, lost
// connection, malformed answer) or that the driver refused is never sent
// again.  Not thread-safe by itself: every use happens under the library
// lock.
class AdapterChannel {
public:
    // Magic word of every command frame the library sends.
    static constexpr std::uint32_t kCommandMagic = 0x55AA55EEu;

    AdapterChannel();
    virtual ~AdapterChannel();
    AdapterChannel(const AdapterChannel &) = delete;
    AdapterChannel &operator=(const AdapterChannel &) = delete;

    // Opens the adapter `name` directly (no probe), or with an empty name
    // opens the first enumerated adapter that answers the probe.  A handle
    // still open is closed first.  On failure the device name is empty.
    bool open(const std::string &name);
    // Closes the handle (also when none is open) and keeps the device name.
    void close();
    // One NDIS query of `oid` over `buffer`; the driver's answer replaces
    // the start of the buffer.  Succeeds only when the driver wrote at least
    // `length` bytes; `bytes_out`, when given, receives the byte count.
    bool send_request(void *buffer, std::uint32_t length, std::uint32_t *bytes_out,
                      std::uint32_t oid);
    // Wraps the request_record at `record` in the command frame, sends it
    // (the record straight from `record`) and on success copies the
    // driver's answer back into `record`; on failure, also when the answer
    // changed the frame's fixed words, the record is left as it was.
    bool exec_command(void *record, std::uint32_t magic);

    const std::string &device_name() const { return device_name_; }
    w32n_handle handle() const { return handle_; }
    bool is_windows95() const { return windows95_; }
    // The adapters found by the last enumeration, in enumeration order.
    const std::vector<w32n_adapter_record> &adapters() const { return adapters_; }
    // Rebuilds adapters() from the NDIS request library's enumeration.
    void enumerate();

protected:
    // Sleeps `ms` milliseconds; the pauses of the Windows 95 family path.
    virtual void sleep_ms(std::uint32_t ms);

private:
    bool exec_in_frame(std::uint8_t *area, void *record, std::uint32_t magic);
    // The retries, handle renewal and reopening around one query: `attempt`
    // makes the request on handle_ and stores the driver's byte count in
    // its argument; success needs at least `length` bytes.
    template <typename Attempt>
    bool query(std::uint32_t length, std::uint32_t *bytes_out, Attempt attempt);
    void pause(std::uint32_t ms);

    w32n_handle handle_ = W32N_INVALID_HANDLE;
    std::string device_name_;
    // Each holds one command frame at an offset chosen per request (see
    // frame_for in the source).
    std::unique_ptr<std::uint8_t[]> frame_area_;
    // The search's probes travel in a frame of their own: a search can run
    // inside the retry of a request whose frame must survive it.
    std::unique_ptr<std::uint8_t[]> probe_frame_area_;
    bool windows95_ = false;
    std::uint32_t request_counter_ = 0;
    w32n_overlapped overlapped_{};
    std::string device_prefix_;
    std::vector<w32n_adapter_record> adapters_;
};

} // namespace lunmark
